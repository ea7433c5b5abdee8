#include "app/FaceRecProgram.h"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "app/FaceConverter.h"
#include "app/Unit1.h"
#include "platform/Forms.h"
#include "platform/NumberFormat.h"

namespace {

const char* const cHelp =
    "Usage: facerec [--faces DIR] [--min-if X] [--max-if X] [--progress] [--json]\n"
    "       facerec evaluate ATT_DIR [--min-if X] [--max-if X] [--json]\n"
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
    "  --json        write the run as one JSON document instead of the texts:\n"
    "                the neuron count, for each test picture its file, the\n"
    "                expected person, the verdict (\"correct\", \"wrong\" or\n"
    "                \"unrecognized\"), the recognised person, the distance, the\n"
    "                caption and every covering neuron at the smallest distance\n"
    "                (its index in creation order, category and distance), and\n"
    "                the summary\n"
    "  --help        show this text and exit\n"
    "\n"
    "facerec evaluate: the accuracy over the whole AT&T face database, each of\n"
    "its ten pictures held out in turn (see facerec evaluate --help).\n"
    "\n"
    "Exit status: 0 both passes complete; 1 the face folder or a picture could\n"
    "not be loaded (the pass stops there and the message goes to standard error;\n"
    "after a complete training pass the neuron count and the lines of the\n"
    "pictures recognised so far are still printed, with --json as a document\n"
    "whose \"error\" holds the message); 2 wrong command line.\n"
    "\n"
    "facerec-convert turns the AT&T face database into a face folder.\n";

const char* const cEvaluateHelp =
    "Usage: facerec evaluate ATT_DIR [--min-if X] [--max-if X] [--json]\n"
    "\n"
    "Holds out each picture of the AT&T face database in turn: for test picture\n"
    "K = 1 to 10, converts ATT_DIR (s<p>/<i>.pgm, as facerec-convert\n"
    "--test-picture K does) into a temporary face folder, picture K of each\n"
    "person as Reco_<p>.bmp and the other nine in ascending order as\n"
    "Train_<p>_1 .. Train_<p>_9, runs the training and the recognition pass over\n"
    "it and removes the folder again. Prints one row per test picture (the\n"
    "neuron count, the errors and the accuracy of its run), then the mean and the\n"
    "spread (sample standard deviation, over the ten runs) of each column.\n"
    "Progress goes to standard error.\n"
    "\n"
    "Options:\n"
    "  --min-if X    as for facerec (default 2)\n"
    "  --max-if X    as for facerec (default 300)\n"
    "  --json        write the table as one JSON document\n"
    "  --help        show this text and exit\n"
    "\n"
    "Exit status: 0 all ten runs complete; 1 a picture could not be read or\n"
    "converted, or the temporary folder could not be made (the message names\n"
    "it); 2 wrong command line.\n";

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

int Usage(std::FILE* AErr, const char* ACommand, const std::string& AProblem) {
  std::fprintf(AErr, "%s: %s (see --help)\n", ACommand, AProblem.c_str());
  return cFaceRecExitUsage;
}

// One covering neuron of a prediction: its index in creation order.
struct TCovering {
  int32_t Neuron = -1;
  Real Category = 0;
  Real Distance = 0;
};

// One recognised picture, as the driver saw it.
struct TRecognition {
  std::string File;
  int32_t Expected = 0;
  int32_t Recognized = 0;  // the driver's rounded category, 0 for none
  Real Distance = 0;
  std::string Caption;
  std::vector<TCovering> Covering;
};

// Everything one demo run shows. Failure is empty after two complete passes.
struct TDemoRun {
  bool Trained = false;
  std::string TrainText;
  int32_t Neurons = 0;
  std::vector<TRecognition> Pictures;
  bool Recognized = false;
  int32_t Errors = 0;
  int32_t Total = 0;
  Real Percentage = 0;
  std::string SummaryText;
  std::string Failure;
};

struct TDemoOptions {
  std::string Faces;
  double MinField = 2;
  double MaxField = 300;
  // Told each progress position: the pass ("Training", "Recognition"), the
  // person and the number of persons.
  std::function<void(const char*, int32_t, int32_t)> Progress;
  // Collect the covering neurons of every prediction (for --json).
  bool Covering = false;
};

// The start-up of the window program, without a toolkit: the library's
// classes, the application, the task-bar setting, TForm1 from its stored
// layout. In place of the message loop the two passes run one after the
// other, as two clicks would run them.
TDemoRun RunDemo(const TDemoOptions& AOptions) {
  TDemoRun run;
  TForm1::RegisterClasses();
  TApplication& application = TApplication::Instance();
  application.Initialize();
  application.SetMainFormOnTaskBar(true);
  std::unique_ptr<TForm1> owned;
  try {
    owned.reset(TForm1::CreateFromLayout());
  } catch (const Exception& e) {
    run.Failure = std::string("the window layout cannot be read: ") + e.what();
    return run;
  }
  TForm1& form = *owned;
  TControlFaceWindow& window = form.Window();
  window.SetFacesFolder(AOptions.Faces);
  TNrRadialBasisFunctionNetwork& network = *form.NrRadialBasisFunctionNetwork1;
  network.SetMinInfluenceField(AOptions.MinField);
  network.SetMaxInfluenceField(AOptions.MaxField);
  const char* pass = "Training";
  if (AOptions.Progress)
    window.SetOnProgress([&](int32_t APosition, int32_t AMax) { AOptions.Progress(pass, APosition, AMax); });

  try {
    form.TrainButtonClick(nullptr);
  } catch (const Exception& e) {
    run.Failure = e.what();
    return run;
  }
  run.Trained = true;
  run.TrainText = window.Label(TFaceLabel::flbTrainLabel).GetCaption();
  run.Neurons = network.GetNeurons()->Count();

  // The layout's handler stays in charge; around it the run notes each
  // prediction, and with it the covering neurons, which live only during
  // Predict.
  std::unordered_map<const TNrRadialBasisFunctionNeuron*, int32_t> neuronIndex;
  if (AOptions.Covering)
    for (int32_t i = 0; i < run.Neurons; ++i) neuronIndex.emplace(network.GetNeurons()->Items(i).Get(), i);
  const TNrRadialBasisFunctionResultEvent handler = network.GetOnResult();
  network.SetOnResult(TNrRadialBasisFunctionResultEvent(
      [&](TObject* ASender, const Ref<IBfRealBuffer>& AFeatures, TNrRadialBasisFunctionResult* AResult) {
        if (handler) handler(ASender, AFeatures, AResult);
        TRecognition r;
        r.Expected = form.ExpectedID();
        r.File = window.ResolvePictureName(TForm1::RecognitionFileName(r.Expected));
        r.Recognized = form.ResultCathegory();
        r.Distance = form.Distance();
        if (AOptions.Covering && AResult != nullptr)
          for (int32_t i = 0; i < AResult->Count(); ++i) {
            const TNrRadialBasisFunctionNeuronResult* entry = AResult->Items(i);
            const auto found = neuronIndex.find(entry->GetNeuron());
            r.Covering.push_back({found == neuronIndex.end() ? -1 : found->second, entry->GetNeuron()->GetCategory(),
                                  entry->GetDistance()});
          }
        run.Pictures.push_back(std::move(r));
      }));

  pass = "Recognition";
  try {
    form.RecognizeButtonClick(nullptr);
    run.Recognized = true;
  } catch (const Exception& e) {
    run.Failure = e.what();
  }
  network.SetOnResult(handler);
  // The captions the pass set, item by item; a pass that stopped at a picture
  // has an item for it without a caption and without a prediction.
  const auto& items = window.List(TFaceList::flListView2).Items();
  for (size_t i = 0; i < items.size() && i < run.Pictures.size(); ++i) run.Pictures[i].Caption = items[i].Caption;
  run.Errors = form.ErrorCount();
  run.Total = form.TotalCount();
  run.Percentage =
      run.Total == 0 ? 0.0 : static_cast<Real>((run.Total - run.Errors) * 100) / static_cast<Real>(run.Total);
  if (run.Recognized) run.SummaryText = window.Label(TFaceLabel::flbRecognizeLabel).GetCaption();
  return run;
}

const char* Verdict(const TRecognition& AResult) {
  if (AResult.Recognized == AResult.Expected) return "correct";
  return AResult.Recognized == 0 ? "unrecognized" : "wrong";
}

nlohmann::ordered_json DemoJson(const TDemoRun& ARun, const TDemoOptions& AOptions) {
  nlohmann::ordered_json doc;
  doc["minInfluenceField"] = AOptions.MinField;
  doc["maxInfluenceField"] = AOptions.MaxField;
  doc["neurons"] = ARun.Neurons;
  doc["neuronsText"] = ARun.TrainText;
  nlohmann::ordered_json pictures = nlohmann::ordered_json::array();
  for (const TRecognition& r : ARun.Pictures) {
    nlohmann::ordered_json covering = nlohmann::ordered_json::array();
    for (const TCovering& c : r.Covering)
      covering.push_back({{"neuron", c.Neuron}, {"category", c.Category}, {"distance", c.Distance}});
    pictures.push_back({{"file", r.File},
                        {"expected", r.Expected},
                        {"verdict", Verdict(r)},
                        {"recognizedAs", r.Recognized},
                        {"distance", r.Distance},
                        {"caption", r.Caption},
                        {"covering", std::move(covering)}});
  }
  doc["pictures"] = std::move(pictures);
  if (ARun.Recognized)
    doc["summary"] = {{"errors", ARun.Errors},
                      {"faces", ARun.Total},
                      {"accuracy", ARun.Percentage},
                      {"text", ARun.SummaryText}};
  else
    doc["summary"] = nullptr;
  doc["error"] = ARun.Failure.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(ARun.Failure);
  return doc;
}

// Removes a temporary folder with everything in it when the scope ends, also
// when the scope is left by an error.
class TTemporaryFolder {
 public:
  // Makes a new, empty folder below the system's temporary folder; raises
  // EFCreateError when that fails.
  TTemporaryFolder() {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    std::string pattern = (ec ? std::filesystem::path("/tmp") : base) / "facerec-evaluate-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr)
      throw EFCreateError(Format("Cannot make a temporary folder \"%s\": %s", pattern.c_str(), std::strerror(errno)));
    FPath = name.data();
  }
  ~TTemporaryFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  TTemporaryFolder(const TTemporaryFolder&) = delete;
  TTemporaryFolder& operator=(const TTemporaryFolder&) = delete;
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

struct TEvaluationRow {
  int32_t TestPicture = 0;
  int32_t Neurons = 0;
  int32_t Errors = 0;
  int32_t Faces = 0;
  Real Accuracy = 0;
};

struct TColumnStatistics {
  Real Mean = 0;
  Real Spread = 0;  // sample standard deviation
};

TColumnStatistics Statistics(const std::vector<Real>& AValues) {
  TColumnStatistics s;
  if (AValues.empty()) return s;
  for (const Real v : AValues) s.Mean += v;
  s.Mean /= static_cast<Real>(AValues.size());
  if (AValues.size() > 1) {
    Real squares = 0;
    for (const Real v : AValues) squares += (v - s.Mean) * (v - s.Mean);
    s.Spread = std::sqrt(squares / static_cast<Real>(AValues.size() - 1));
  }
  return s;
}

// A mean or spread as shown in the table: rounded to two decimals.
std::string Rounded(Real AValue) { return FloatToStr(std::round(AValue * 100) / 100); }

int Evaluate(int argc, const char* const* argv, std::FILE* AOut, std::FILE* AErr) {
  const char* const cCommand = "facerec evaluate";
  std::string att;
  double minField = 2, maxField = 300;
  bool json = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(cEvaluateHelp, AOut);
      return cFaceRecExitOk;
    }
    if (arg == "--json") {
      json = true;
    } else if (arg == "--min-if" || arg == "--max-if") {
      if (i + 1 >= argc) return Usage(AErr, cCommand, arg + " needs a value");
      const char* value = argv[++i];
      if (!ParseFieldValue(value, arg == "--min-if" ? minField : maxField))
        return Usage(AErr, cCommand, arg + " needs a non-negative number, not \"" + value + "\"");
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage(AErr, cCommand, "unknown option \"" + arg + "\"");
    } else if (!att.empty()) {
      return Usage(AErr, cCommand, "unexpected argument \"" + arg + "\" after ATT_DIR");
    } else if (arg.empty()) {
      return Usage(AErr, cCommand, "ATT_DIR needs a folder name");
    } else {
      att = arg;
    }
  }
  if (att.empty()) return Usage(AErr, cCommand, "expected ATT_DIR, the folder of the AT&T face database");
  struct stat st {};
  if (::stat(att.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(AErr, "%s: the face database folder \"%s\" does not exist or is not a folder\n", cCommand,
                 att.c_str());
    return cFaceRecExitLoadFailure;
  }

  std::vector<TEvaluationRow> rows;
  for (int32_t k = 1; k <= cAttPictures; ++k) {
    TDemoRun run;
    try {
      TTemporaryFolder folder;
      std::fprintf(AErr, "Test picture %d/%d: converting\n", k, cAttPictures);
      ConvertAttFaces(att, folder.Path(), k);
      std::fprintf(AErr, "Test picture %d/%d: training and recognising\n", k, cAttPictures);
      TDemoOptions options;
      options.Faces = folder.Path();
      options.MinField = minField;
      options.MaxField = maxField;
      run = RunDemo(options);
    } catch (const Exception& e) {
      std::fprintf(AErr, "%s: test picture %d: %s\n", cCommand, k, e.what());
      return cFaceRecExitLoadFailure;
    }
    if (!run.Failure.empty()) {
      std::fprintf(AErr, "%s: test picture %d: %s\n", cCommand, k, run.Failure.c_str());
      return cFaceRecExitLoadFailure;
    }
    rows.push_back({k, run.Neurons, run.Errors, run.Total, run.Percentage});
    std::fprintf(AErr, "Test picture %d/%d: %d neurons, %d errors, %s%% correct\n", k, cAttPictures, run.Neurons,
                 run.Errors, FloatToStr(run.Percentage).c_str());
  }

  auto column = [&](auto AValue) {
    std::vector<Real> values;
    for (const TEvaluationRow& r : rows) values.push_back(static_cast<Real>(AValue(r)));
    return Statistics(values);
  };
  const TColumnStatistics neurons = column([](const TEvaluationRow& r) { return r.Neurons; });
  const TColumnStatistics errors = column([](const TEvaluationRow& r) { return r.Errors; });
  const TColumnStatistics accuracy = column([](const TEvaluationRow& r) { return r.Accuracy; });

  if (json) {
    nlohmann::ordered_json doc;
    doc["minInfluenceField"] = minField;
    doc["maxInfluenceField"] = maxField;
    nlohmann::ordered_json runs = nlohmann::ordered_json::array();
    for (const TEvaluationRow& r : rows)
      runs.push_back({{"testPicture", r.TestPicture},
                      {"neurons", r.Neurons},
                      {"errors", r.Errors},
                      {"faces", r.Faces},
                      {"accuracy", r.Accuracy}});
    doc["runs"] = std::move(runs);
    doc["mean"] = {{"neurons", neurons.Mean}, {"errors", errors.Mean}, {"accuracy", accuracy.Mean}};
    doc["spread"] = {{"neurons", neurons.Spread}, {"errors", errors.Spread}, {"accuracy", accuracy.Spread}};
    std::fprintf(AOut, "%s\n", doc.dump(2).c_str());
  } else {
    std::fprintf(AOut, "%-12s %8s %7s %9s\n", "Test picture", "Neurons", "Errors", "Accuracy");
    for (const TEvaluationRow& r : rows)
      std::fprintf(AOut, "%12d %8d %7d %9s\n", r.TestPicture, r.Neurons, r.Errors,
                   (FloatToStr(r.Accuracy) + "%").c_str());
    std::fprintf(AOut, "%-12s %8s %7s %9s\n", "Mean", Rounded(neurons.Mean).c_str(), Rounded(errors.Mean).c_str(),
                 (Rounded(accuracy.Mean) + "%").c_str());
    std::fprintf(AOut, "%-12s %8s %7s %9s\n", "Spread", Rounded(neurons.Spread).c_str(),
                 Rounded(errors.Spread).c_str(), (Rounded(accuracy.Spread) + "%").c_str());
  }
  std::fflush(AOut);
  return cFaceRecExitOk;
}

}  // namespace

int FaceRecMain(int argc, const char* const* argv, std::FILE* AOut, std::FILE* AErr) {
  if (argc > 1 && std::strcmp(argv[1], "evaluate") == 0) return Evaluate(argc, argv, AOut, AErr);

  TDemoOptions options;
  options.Faces = TForm1::cFacesFolder;
  bool progress = false, json = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(cHelp, AOut);
      return cFaceRecExitOk;
    }
    if (arg == "--progress") {
      progress = true;
    } else if (arg == "--json") {
      json = true;
    } else if (arg == "--faces" || arg == "--min-if" || arg == "--max-if") {
      if (i + 1 >= argc) return Usage(AErr, "facerec", arg + " needs a value");
      const char* value = argv[++i];
      if (arg == "--faces") {
        if (*value == '\0') return Usage(AErr, "facerec", "--faces needs a folder name");
        options.Faces = value;
      } else if (!ParseFieldValue(value, arg == "--min-if" ? options.MinField : options.MaxField)) {
        return Usage(AErr, "facerec", arg + " needs a non-negative number, not \"" + value + "\"");
      }
    } else {
      return Usage(AErr, "facerec", "unknown argument \"" + arg + "\"");
    }
  }

  struct stat st {};
  if (::stat(options.Faces.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(AErr, "facerec: the face folder \"%s\" does not exist or is not a folder\n", options.Faces.c_str());
    return cFaceRecExitLoadFailure;
  }

  if (progress)
    options.Progress = [AErr](const char* APass, int32_t APosition, int32_t AMax) {
      std::fprintf(AErr, "%s: person %d/%d\n", APass, APosition, AMax);
    };
  options.Covering = json;
  const TDemoRun run = RunDemo(options);
  if (!run.Trained) {
    std::fprintf(AErr, "facerec: %s\n", run.Failure.c_str());
    return cFaceRecExitLoadFailure;
  }
  if (json) {
    std::fprintf(AOut, "%s\n", DemoJson(run, options).dump(2).c_str());
  } else {
    std::fprintf(AOut, "%s\n", run.TrainText.c_str());
    for (const TRecognition& r : run.Pictures) std::fprintf(AOut, "%s\n", r.Caption.c_str());
    if (run.Recognized) std::fprintf(AOut, "%s\n", run.SummaryText.c_str());
  }
  std::fflush(AOut);
  if (!run.Recognized) {
    std::fprintf(AErr, "facerec: %s\n", run.Failure.c_str());
    return cFaceRecExitLoadFailure;
  }
  return cFaceRecExitOk;
}
