// Program entry: the application with its title, the main window, the message loop.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/display_check.h"
#include "app/form1.h"
#include "app/local_file_path.h"
#include "app/qt_dialogs.h"
#include "app/termination_signals.h"
#include "app/widgets/skin.h"
#include "engine/fftw_interface.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"

namespace {

// Answered before Qt starts, so they work without a display (help2man builds the manual page from
// them at build time).
constexpr const char* kUsage =
    "Usage: murmex [OPTION]... [FILE]\n"
    "Removes steady background noise from recorded audio: load FILE (WAV, MP3, Ogg Vorbis, WMA or\n"
    "FLAC), preview it with noise reduction while a live spectrum follows the sound, tune the\n"
    "reduction and save the cleaned audio as WAV, MP3, Ogg Vorbis or WMA.\n"
    "\n"
    "Options:\n"
    "  -h, --help       show this help and exit\n"
    "      --version    show the version and exit\n"
    "\n"
    "Without FILE the window starts empty; load a file with \"Load file\" (Ctrl+O) or drop one on it.\n"
    "The noise reduction method (Adaptive by default, or Classic, the original rule set) is chosen\n"
    "from the menu a right-click on the window opens. The window remembers the method, the menu's\n"
    "save choices, the two sliders and the output format in ~/.config/murmex/murmex.conf.\n"
    "Qt's standard options are accepted as well, for example -platform NAME or -style NAME.\n"
    "murmex-cli runs the same load and save from the command line, without a window.\n";

// Exit status when --help or --version was asked for, else -1.
int AnswerInformationalOption(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") return std::fputs(kUsage, stdout) < 0 ? 1 : 0;
    if (argument == "--version") return std::printf("murmex %s\n", MURMEX_VERSION) < 0 ? 1 : 0;
  }
  return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (const int status = AnswerInformationalOption(argc, argv); status >= 0) return status;
  if (const auto missing = murmex::MissingDisplay(argc, argv, [](const char* name) { return std::getenv(name); })) {
    std::fputs(murmex::NoDisplayMessage(*missing).c_str(), stderr);
    return 1;
  }
  murmex::PlatformFailureGuard platformGuard;
  QApplication application(argc, argv);
  platformGuard.Release();
  // No display name: the platform would append it to every dialog's title.
  QApplication::setApplicationName("murmex");
  QGuiApplication::setDesktopFileName("murmex");
  murmex::skin::InstallFontSubstitutes();
  // Watched before anything else can claim them: kill, Ctrl+C and logout close the window
  // the way its Close control does.
  murmex::TerminationSignals terminationSignals;
  if (!terminationSignals.Error().empty())
    std::fprintf(stderr, "murmex: %s; a termination signal will end the program at once\n",
                 terminationSignals.Error().c_str());

  // One engine and one set of options for the whole program.
  murmex::ProcessingOptions options;
  murmex::SpectralEngine engine(options);
  murmex::QtDialogs dialogs(nullptr);
  murmex::TForm1 form(options, engine, dialogs);
  dialogs.SetParent(&form);
  QObject::connect(&terminationSignals, &murmex::TerminationSignals::received, &form, &murmex::TForm1::RequestClose);
  form.show();
  // Measure the transforms once the window is on screen, before the user can press Play.
  QTimer::singleShot(0, [] { murmex::FftwInterface::WarmUpPlanner(); });
  // A file named on the command line (as a file manager's "Open with" passes it) is loaded as if
  // it had been chosen in the open dialog. QApplication has taken its own options out of argv;
  // the name is taken from there as bytes, which a QString would not keep.
  if (argc > 1) {
    const std::string path = murmex::PathOfArgument(argv[1]);
    QTimer::singleShot(0, &form, [&form, path] { form.LoadFile(path); });
  }
  return QApplication::exec();
}
