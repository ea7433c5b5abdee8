// facerec-convert: turns the AT&T face database into the demo's face folder.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/FaceConverter.h"

namespace {

constexpr int cExitLoadFailure = 1;
constexpr int cExitUsage = 2;

void PrintHelp(std::FILE* AOut) {
  std::fputs(
      "Usage: facerec-convert ATT_DIR OUT_DIR\n"
      "\n"
      "Converts the AT&T face database (\"The Database of Faces\", AT&T Laboratories\n"
      "Cambridge) as distributed, ATT_DIR/s<p>/<i>.pgm for persons 1..40 and\n"
      "pictures 1..10 (binary PGM, 92 x 112), into the face folder that facerec\n"
      "reads: pictures 1 to 9 become OUT_DIR/Train_<p>_<i>.bmp, picture 10 becomes\n"
      "OUT_DIR/Reco_<p>.bmp, each reduced to 32 x 32 by area averaging and written\n"
      "as an 8-bit grey-palette BMP, rows bottom-up. OUT_DIR must exist.\n"
      "\n"
      "Options:\n"
      "  --help    show this text and exit\n"
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
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintHelp(stdout);
      return 0;
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
    ConvertAttFaces(folders[0], folders[1]);
  } catch (const Exception& e) {
    std::fprintf(stderr, "facerec-convert: %s\n", e.what());
    return cExitLoadFailure;
  }
  return 0;
}
