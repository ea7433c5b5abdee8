// facerec-gui: the face recognition demo in its desktop window (see --help).
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/Unit1.h"
#include "platform/Forms.h"
#include "platform/qt/QtBinding.h"
#include "primitives/IppDispatch.h"

namespace {

const char* const cHelp =
    "Usage: facerec-gui [--faces DIR] [--screenshot FILE.png]\n"
    "\n"
    "Face recognition demo in a window: \"Train\" teaches a radial-basis-function\n"
    "network the pictures Train_<p>_<i>.bmp (persons 1..40, pictures 1..9) of\n"
    "the face folder and shows them in the left list; \"Recognize\" recognises\n"
    "Reco_<p>.bmp of each person and shows each picture with its verdict in the\n"
    "right list and the summary below it. A picture that cannot be loaded is\n"
    "reported in an error dialog; the window stays usable.\n"
    "\n"
    "Options:\n"
    "  --faces DIR          the face folder (default: Faces below the working\n"
    "                       directory)\n"
    "  --screenshot FILE    run Train and then Recognize, save the window as a\n"
    "                       PNG file and exit (works without a display under\n"
    "                       QT_QPA_PLATFORM=offscreen)\n"
    "  --help               show this text and exit\n"
    "\n"
    "Exit status: 0 the window was closed (or the screenshot saved); 1 the face\n"
    "folder, a picture (with --screenshot) or the screenshot file failed;\n"
    "2 wrong command line.\n";

int Usage(const std::string& AProblem) {
  std::fprintf(stderr, "facerec-gui: %s (see --help)\n", AProblem.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string faces = TForm1::cFacesFolder, screenshot;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(cHelp, stdout);
      return 0;
    }
    if (arg == "--faces" || arg == "--screenshot") {
      if (i + 1 >= argc || *argv[i + 1] == '\0') return Usage(arg + " needs a value");
      (arg == "--faces" ? faces : screenshot) = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] != '-') {
      // Single-dash options belong to Qt; these take a value.
      static const char* const withValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                              "-style", "-stylesheet", "-display", "-geometry",
                                              "-qwindowgeometry", "-qwindowtitle", "-qwindowicon", "-session"};
      for (const char* o : withValue)
        if (arg == o && i + 1 < argc) ++i;
    } else {
      return Usage("unknown argument \"" + arg + "\"");
    }
  }
  struct stat st {};
  if (::stat(faces.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "facerec-gui: the face folder \"%s\" does not exist or is not a folder\n", faces.c_str());
    return 1;
  }

  // Start-up: the library's classes, the toolkit and the application, the
  // task-bar button, TForm1 from its stored layout, the message loop.
  TForm1::RegisterClasses();
  PrimitivesStartup();
  int status = 0;
  {
    TQtBinding toolkit(argc, argv);
    TApplication& application = TApplication::Instance();
    application.SetBinding(&toolkit);
    application.Initialize();
    application.SetMainFormOnTaskBar(true);
    std::unique_ptr<TForm1> form;
    try {
      form.reset(TForm1::CreateFromLayout());
    } catch (const Exception& e) {
      std::fprintf(stderr, "facerec-gui: the window layout cannot be read: %s\n", e.what());
      return 1;
    }
    form->Window().SetFacesFolder(faces);
    application.SetMainForm(form.get());
    if (screenshot.empty()) {
      application.Run();
    } else {
      // Both passes as the two clicks run them; a failure is printed instead
      // of shown in a dialog, since nobody is there to close it.
      bool failed = false;
      application.SetExceptionReporter([&](const std::string& AMessage) {
        std::fprintf(stderr, "facerec-gui: %s\n", AMessage.c_str());
        failed = true;
      });
      toolkit.ShowMainForm(form.get());
      application.HandleEvent([&] { form->TrainButton->Click(); });
      if (!failed) application.HandleEvent([&] { form->RecognizeButton->Click(); });
      if (!toolkit.SaveScreenshot(form.get(), screenshot)) {
        std::fprintf(stderr, "facerec-gui: cannot write the screenshot \"%s\"\n", screenshot.c_str());
        failed = true;
      }
      application.SetExceptionReporter(nullptr);
      status = failed ? 1 : 0;
    }
    // Close-down in reverse: the window, then the toolkit.
    application.SetMainForm(nullptr);
    form.reset();
    application.SetBinding(nullptr);
  }
  PrimitivesShutdown();
  return status;
}
