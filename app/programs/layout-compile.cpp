// layout-compile: turns the text form of a stored layout into the binary
// property stream and writes it as a C++ source file holding a byte array, so
// that the program carries its window layout with it.
//
//   layout-compile LAYOUT.layout OUTPUT.cpp SYMBOL
//
// defines `extern const unsigned char SYMBOL[]` and
// `extern const std::size_t SYMBOLSize`. Errors name the file, line and column
// and end the tool with status 1.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "component/CmTextLayout.h"
#include "platform/Controls.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: layout-compile LAYOUT.layout OUTPUT.cpp SYMBOL\n");
    return 2;
  }
  const std::string input = argv[1], output = argv[2], symbol = argv[3];
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "layout-compile: cannot open \"%s\"\n", input.c_str());
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  TLayoutConstants constants;
  for (const TNamedConstant& c : ToolkitConstants()) constants.emplace_back(c.Name, c.Value);
  TMemoryStream binary;
  try {
    TextLayoutToBinary(text.str(), binary, input, constants);
  } catch (const Exception& e) {
    std::fprintf(stderr, "layout-compile: %s\n", e.what());
    return 1;
  }
  std::ostringstream cpp;
  cpp << "// Made by layout-compile from " << input.substr(input.find_last_of("/\\") + 1) << "; do not edit.\n"
      << "#include <cstddef>\n\n"
      << "extern const unsigned char " << symbol << "[];\n"
      << "extern const std::size_t " << symbol << "Size;\n"
      << "const unsigned char " << symbol << "[] = {";
  const std::vector<uint8_t>& bytes = binary.Data();
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) cpp << "\n   ";
    cpp << ' ' << static_cast<unsigned>(bytes[i]) << ',';
  }
  cpp << "\n};\nconst std::size_t " << symbol << "Size = " << bytes.size() << ";\n";
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out << cpp.str();
  out.close();
  if (!out) {
    std::fprintf(stderr, "layout-compile: cannot write \"%s\"\n", output.c_str());
    return 1;
  }
  return 0;
}
