#include "app/FaceRecProgram.h"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/Unit1.h"
#include "platform/Forms.h"

namespace {

const char* const cHelp =
    "Usage: facerec [--faces DIR] [--min-if X] [--max-if X] [--progress]\n"
    "\n"
    "Face recognition demo without a window: trains a radial-basis-function\n"
    "network on the pictures Train_<p>_<i>.bmp (persons 1..40, pictures 1..9)\n"
    "of the face folder, then recognises Reco_<p>.bmp of each person, and\n"
    "prints what the window shows: the neuron count (\"<n> Neurons used.\"),\n"
    "one line per recognised picture, and the summary\n"
    "(\"<e> errors of <t> faces - <pct>% correct\"). Numbers use the decimal\n"
    "separator of the locale (LC_NUMERIC). Pictures are 8-bit palette-indexed\n"
    "BMPs of 32 x 32 pixels.\n"
    "\n"
    "Options:\n"
    "  --faces DIR   the face folder (default: Faces below the working directory)\n"
    "  --min-if X    smallest influence field of a neuron made after a conflict\n"
    "                (default 2)\n"
    "  --max-if X    influence field of a neuron for an uncovered sample\n"
    "                (default 300)\n"
    "  --progress    report each person of each pass on standard error\n"
    "  --help        show this text and exit\n"
    "\n"
    "Exit status: 0 both passes complete; 1 the face folder or a picture could\n"
    "not be loaded (the pass stops there and the message goes to standard error;\n"
    "after a complete training pass the neuron count and the lines of the\n"
    "pictures recognised so far are still printed); 2 wrong command line.\n"
    "\n"
    "facerec-convert turns the AT&T face database into a face folder.\n";

bool ParseFieldValue(const char* AText, double& AValue) {
  if (AText == nullptr || *AText == '\0') return false;
  // std::from_chars reads the C format whatever the process locale is, so
  // "2.5" means the same under a decimal comma.
  const char* last = AText + std::strlen(AText);
  double v = 0;
  const std::from_chars_result read = std::from_chars(AText, last, v);
  if (read.ec != std::errc() || read.ptr != last || !std::isfinite(v) || v < 0) return false;
  AValue = v;
  return true;
}

int Usage(std::FILE* AErr, const std::string& AProblem) {
  std::fprintf(AErr, "facerec: %s (see --help)\n", AProblem.c_str());
  return cFaceRecExitUsage;
}

}  // namespace

int FaceRecMain(int argc, const char* const* argv, std::FILE* AOut, std::FILE* AErr) {
  std::string faces = TForm1::cFacesFolder;
  double minField = 2, maxField = 300;
  bool progress = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(cHelp, AOut);
      return cFaceRecExitOk;
    }
    if (arg == "--progress") {
      progress = true;
    } else if (arg == "--faces" || arg == "--min-if" || arg == "--max-if") {
      if (i + 1 >= argc) return Usage(AErr, arg + " needs a value");
      const char* value = argv[++i];
      if (arg == "--faces") {
        if (*value == '\0') return Usage(AErr, "--faces needs a folder name");
        faces = value;
      } else if (!ParseFieldValue(value, arg == "--min-if" ? minField : maxField)) {
        return Usage(AErr, arg + " needs a non-negative number, not \"" + value + "\"");
      }
    } else {
      return Usage(AErr, "unknown argument \"" + arg + "\"");
    }
  }

  struct stat st {};
  if (::stat(faces.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(AErr, "facerec: the face folder \"%s\" does not exist or is not a folder\n", faces.c_str());
    return cFaceRecExitLoadFailure;
  }

  // The start-up of the window program, without a toolkit: the library's
  // classes, the application, the task-bar setting, TForm1 from its stored
  // layout. In place of the message loop the two passes run one after the
  // other, as two clicks would run them.
  TForm1::RegisterClasses();
  TApplication& application = TApplication::Instance();
  application.Initialize();
  application.SetMainFormOnTaskBar(true);
  std::unique_ptr<TForm1> owned;
  try {
    owned.reset(TForm1::CreateFromLayout());
  } catch (const Exception& e) {
    std::fprintf(AErr, "facerec: the window layout cannot be read: %s\n", e.what());
    return cFaceRecExitLoadFailure;
  }
  TForm1& form = *owned;
  TControlFaceWindow& window = form.Window();
  window.SetFacesFolder(faces);
  form.NrRadialBasisFunctionNetwork1->SetMinInfluenceField(minField);
  form.NrRadialBasisFunctionNetwork1->SetMaxInfluenceField(maxField);
  const char* pass = "Training";
  if (progress)
    window.SetOnProgress([&](int32_t APosition, int32_t AMax) {
      std::fprintf(AErr, "%s: person %d/%d\n", pass, APosition, AMax);
    });

  try {
    form.TrainButtonClick(nullptr);
  } catch (const Exception& e) {
    std::fprintf(AErr, "facerec: %s\n", e.what());
    return cFaceRecExitLoadFailure;
  }
  std::fprintf(AOut, "%s\n", window.Label(TFaceLabel::flbTrainLabel).GetCaption().c_str());

  pass = "Recognition";
  int status = cFaceRecExitOk;
  std::string failure;
  try {
    form.RecognizeButtonClick(nullptr);
  } catch (const Exception& e) {
    failure = e.what();
    status = cFaceRecExitLoadFailure;
  }
  for (const TListView::TListItem& item : window.List(TFaceList::flListView2).Items())
    std::fprintf(AOut, "%s\n", item.Caption.c_str());
  if (status == cFaceRecExitOk) {
    std::fprintf(AOut, "%s\n", window.Label(TFaceLabel::flbRecognizeLabel).GetCaption().c_str());
  } else {
    std::fflush(AOut);
    std::fprintf(AErr, "facerec: %s\n", failure.c_str());
  }
  std::fflush(AOut);
  return status;
}
