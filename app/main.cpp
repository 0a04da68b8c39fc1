// Program entry: the application with its title, the main window, the message loop.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "app/form1.h"
#include "app/qt_dialogs.h"
#include "app/termination_signals.h"
#include "app/widgets/skin.h"
#include "engine/fftw_interface.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("murmex");
  QApplication::setApplicationDisplayName(murmex::kApplicationTitle);
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
  // it had been chosen in the open dialog.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) {
    const std::string path = QFileInfo(arguments.at(1)).absoluteFilePath().toStdString();
    QTimer::singleShot(0, &form, [&form, path] { form.LoadFile(path); });
  }
  return QApplication::exec();
}
