// facerec-convert: turns the AT&T face database into the demo's face folder.
#include <cstdio>
#include <charconv>
#include <cstring>
#include <string>

#include "app/FaceConverter.h"

namespace {

constexpr int cExitLoadFailure = 1;
constexpr int cExitUsage = 2;

void PrintHelp(std::FILE* AOut) {
  std::fputs(
      "Usage: facerec-convert [--test-picture K] ATT_DIR OUT_DIR\n"
      "\n"
      "Converts the AT&T face database (\"The Database of Faces\", AT&T Laboratories\n"
      "Cambridge) as distributed, ATT_DIR/s<p>/<i>.pgm for persons 1..40 and\n"
      "pictures 1..10 (binary PGM, 92 x 112), into the face folder that facerec\n"
      "reads: picture K (the test picture, 10 unless --test-picture says\n"
      "otherwise) becomes OUT_DIR/Reco_<p>.bmp, the other nine in ascending order\n"
      "become OUT_DIR/Train_<p>_1.bmp to Train_<p>_9.bmp, each reduced to 32 x 32\n"
      "by area averaging and written as an 8-bit grey-palette BMP, rows bottom-up.\n"
      "OUT_DIR must exist.\n"
      "\n"
      "Options:\n"
      "  --test-picture K   the picture (1 to 10) of each person to recognise\n"
      "                     (default 10)\n"
      "  --help             show this text and exit\n"
      "\n"
      "Exit status: 0 all 400 pictures converted; 1 a picture could not be read or\n"
      "written (the message names it; pictures written before it stay);\n"
      "2 wrong command line.\n",
      AOut);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folders[2];
  int count = 0;
  int32_t testPicture = cAttPictures;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintHelp(stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--test-picture") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "facerec-convert: --test-picture needs a value (see --help)\n");
        return cExitUsage;
      }
      const char* value = argv[++i];
      const char* last = value + std::strlen(value);
      int32_t k = 0;
      const std::from_chars_result read = std::from_chars(value, last, k);
      if (read.ec != std::errc() || read.ptr != last || *value == '\0' || k < 1 || k > cAttPictures) {
        std::fprintf(stderr, "facerec-convert: --test-picture needs a picture number 1 to %d, not \"%s\" (see --help)\n",
                     cAttPictures, value);
        return cExitUsage;
      }
      testPicture = k;
      continue;
    }
    if (argv[i][0] == '-' && argv[i][1] != '\0') {
      std::fprintf(stderr, "facerec-convert: unknown option \"%s\" (see --help)\n", argv[i]);
      return cExitUsage;
    }
    if (count == 2) {
      std::fprintf(stderr, "facerec-convert: too many arguments (see --help)\n");
      return cExitUsage;
    }
    folders[count++] = argv[i];
  }
  if (count != 2) {
    std::fprintf(stderr, "facerec-convert: expected ATT_DIR and OUT_DIR (see --help)\n");
    return cExitUsage;
  }
  try {
    ConvertAttFaces(folders[0], folders[1], testPicture);
  } catch (const Exception& e) {
    std::fprintf(stderr, "facerec-convert: %s\n", e.what());
    return cExitLoadFailure;
  }
  return 0;
}
