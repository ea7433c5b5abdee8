// fuzz-seeds OUTDIR: the starting inputs of the fuzz targets, made from the
// program itself and from the shared data, in OUTDIR/<target>/:
//   stream_new, stream_form  the embedded window layout and a stored network
//   stream_network           a stored network
//   layout_text              the window's layout text
//   bmp                      a few face pictures of the face folder
//   pgm                      a picture of the AT&T database and a small one
// A missing shared file is skipped; the hand-made seeds in fuzz/seeds/ remain.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "component/CmFiler.h"

namespace fs = std::filesystem;

namespace {

void WriteSeed(const fs::path& AFile, const std::vector<uint8_t>& ABytes) {
  fs::create_directories(AFile.parent_path());
  std::ofstream out(AFile, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(ABytes.data()), static_cast<std::streamsize>(ABytes.size()));
  if (!out) throw std::runtime_error("cannot write " + AFile.string());
}

bool ReadFile(const fs::path& AFile, std::vector<uint8_t>& ABytes) {
  std::ifstream in(AFile, std::ios::binary);
  if (!in) return false;
  ABytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

void CopySeed(const fs::path& AFrom, const fs::path& ATo) {
  std::vector<uint8_t> bytes;
  if (ReadFile(AFrom, bytes))
    WriteSeed(ATo, bytes);
  else
    std::fprintf(stderr, "fuzz-seeds: %s not found, skipped\n", AFrom.string().c_str());
}

std::vector<uint8_t> StoredNetwork() {
  std::unique_ptr<TNrRadialBasisFunctionNetwork> net(CreateComponent<TNrRadialBasisFunctionNetwork>(nullptr));
  net->SetName("NrRadialBasisFunctionNetwork1");
  net->SetMinInfluenceField(2);
  net->SetMaxInfluenceField(300);
  net->GetBackground()->SetCategory(0);
  TMemoryStream out;
  WriteComponentToStream(out, net.get());
  return out.Data();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz-seeds OUTDIR\n");
    return 2;
  }
  try {
    const fs::path out = argv[1];
    const fs::path shared = FR_SHARED_DIR;
    const fs::path source = FR_SOURCE_DIR;
    TForm1::RegisterClasses();
    const std::vector<uint8_t> layout = TForm1::EmbeddedLayout().Data();
    const std::vector<uint8_t> network = StoredNetwork();
    WriteSeed(out / "stream_new" / "layout.bin", layout);
    WriteSeed(out / "stream_new" / "network.bin", network);
    WriteSeed(out / "stream_form" / "layout.bin", layout);
    WriteSeed(out / "stream_network" / "network.bin", network);
    CopySeed(source / "app" / "Unit1.layout", out / "layout_text" / "Unit1.layout");
    for (const char* name : {"Reco_1.bmp", "Train_2_3.bmp"})
      CopySeed(shared / "datasets" / "faces" / name, out / "bmp" / name);
    CopySeed(shared / "datasets" / "att_faces" / "s1" / "1.pgm", out / "pgm" / "att_s1_1.pgm");
    std::string small = "P5\n# small\n4 2\n15\n";
    for (int i = 0; i < 8; ++i) small.push_back(static_cast<char>(i * 2));
    WriteSeed(out / "pgm" / "small.pgm", std::vector<uint8_t>(small.begin(), small.end()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fuzz-seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
