#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/form1.h"
#include "app/qt_dialogs.h"
#include "app/termination_signals.h"
#include "app/widgets/skin_label.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "source/source_loader.h"
#include "tests/app/form1_fixture.h"
#include "tests/app/test_suites.h"
#include "tests/app/wav_bytes.h"
#include "tests/fixtures/fixture_paths.h"

using namespace murmex;
using murmex::testing::FixturePath;
using murmex::testing::Form1Fixture;
using murmex::testing::LittleEndian32;
using murmex::testing::ReadAll;

namespace {

using Handler = void (*)(int);

Handler CurrentHandler(int signalNumber) {
  struct sigaction action {};
  sigaction(signalNumber, nullptr, &action);
  return action.sa_handler;
}

// Gives the signals one action (SIG_DFL, SIG_IGN) for a while, then restores their handlers.
class TemporaryAction {
 public:
  TemporaryAction(Handler handler, std::initializer_list<int> signalNumbers) {
    struct sigaction action {};
    action.sa_handler = handler;
    for (const int signalNumber : signalNumbers) {
      struct sigaction old {};
      sigaction(signalNumber, &action, &old);
      saved_.emplace_back(signalNumber, old);
    }
  }
  ~TemporaryAction() {
    for (const auto& [signalNumber, old] : saved_) sigaction(signalNumber, &old, nullptr);
  }
  TemporaryAction(const TemporaryAction&) = delete;
  TemporaryAction& operator=(const TemporaryAction&) = delete;

 private:
  std::vector<std::pair<int, struct sigaction>> saved_;
};

// The window as the program makes it: real dialogs, so a signal can arrive while one is open.
struct WindowWithRealDialogs {
  ProcessingOptions options;
  SpectralEngine engine{options};
  QtDialogs dialogs{nullptr};
  TForm1 form{options, engine, dialogs};
  TerminationSignals watcher;

  WindowWithRealDialogs() {
    dialogs.SetParent(&form);
    QObject::connect(&watcher, &TerminationSignals::received, &form, &TForm1::RequestClose);
    form.show();
  }
};

}  // namespace

class TerminationTest : public QObject {
  Q_OBJECT

 private slots:
  void EachSignalBecomesOneCloseRequest_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
  }

  void EachSignalBecomesOneCloseRequest() {
    QFETCH(int, signalNumber);
    const Handler before = CurrentHandler(signalNumber);
    {
      TerminationSignals watcher;
      QVERIFY2(watcher.Error().empty(), watcher.Error().c_str());
      QSignalSpy received(&watcher, &TerminationSignals::received);
      QCOMPARE(raise(signalNumber), 0);
      QTRY_COMPARE(received.count(), 1);
      QCOMPARE(received.at(0).at(0).toInt(), signalNumber);
      // A second watcher has no pipe of its own to be told through, and says so.
      const TerminationSignals second;
      QVERIFY(!second.Error().empty());
    }
    // Gone with the watcher: the signal does what it did before.
    QVERIFY(CurrentHandler(signalNumber) == before);
  }

  void SignalIgnoredAtStartStaysIgnored() {
    // As under nohup: the caller wants SIGHUP ignored, and the others still close the window.
    const TemporaryAction ignored(SIG_IGN, {SIGHUP});
    TerminationSignals watcher;
    QSignalSpy received(&watcher, &TerminationSignals::received);
    QVERIFY(CurrentHandler(SIGHUP) == SIG_IGN);
    QCOMPARE(raise(SIGHUP), 0);
    QCOMPARE(raise(SIGTERM), 0);
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toInt(), int(SIGTERM));
  }

  void AudioLibraryLeavesTheSignalsAlone() {
    // The audio library only takes signals that still have their default action, as they have
    // in the program; the test framework's own handlers step aside meanwhile.
    const TemporaryAction defaults(SIG_DFL, {SIGTERM, SIGINT});
    Form1Fixture f;
    // The window started the audio output; no message means it did.
    QVERIFY(f.dialogs.messages.empty());
    QVERIFY(CurrentHandler(SIGTERM) == SIG_DFL);
    QVERIFY(CurrentHandler(SIGINT) == SIG_DFL);
  }

  void SaveIsCancelledAndItsFileFinishedBeforeTheWindowCloses_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("SIGINT") << 0;
    QTest::newRow("Close button") << 1;
    QTest::newRow("close control (X)") << 2;
    QTest::newRow("Ctrl+Q") << 3;
    QTest::newRow("window manager") << 4;
  }

  void SaveIsCancelledAndItsFileFinishedBeforeTheWindowCloses() {
    QFETCH(int, way);
    Form1Fixture f;
    TForm1& w = *f.form;
    TerminationSignals watcher;
    connect(&watcher, &TerminationSignals::received, &w, &TForm1::RequestClose);
    QTemporaryDir folder;
    // Long enough that the save is still running when the close comes.
    const QString source = folder.filePath("long.wav");
    QCOMPARE(QProcess::execute("sox", {"-n", "-r", "48000", "-c", "2", "-b", "16", source, "trim", "0", "120"}), 0);
    const std::filesystem::path written = std::filesystem::path(folder.path().toStdString()) / "cut.wav";
    f.dialogs.fileAnswers.push_back(source.toStdString());
    f.dialogs.fileAnswers.push_back(written.string());
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
    const int64_t sourceBytes = w.Loader().Info().LengthBytes;
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QVERIFY(w.Exporting());
    QCOMPARE(f.ButtonStates(), QString("001001"));  // Close stays on

    QVERIFY(f.active);
    const std::function<void()> closes[] = {
        [] { QCOMPARE(raise(SIGINT), 0); },
        [&] { QTest::mouseClick(w.SpeedButton3, Qt::LeftButton); },
        [&] { QTest::mouseClick(w.VrHotImage3, Qt::LeftButton); },
        [&] { QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier); },
        [&] { w.close(); },
    };
    closes[way]();
    QVERIFY(w.isVisible());  // the writer is waited for from the event loop
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 20000);
    QVERIFY(!w.Exporting());
    QVERIFY(f.dialogs.messages.empty());
    const std::string wav = ReadAll(written);
    QVERIFY(wav.size() >= 44);
    QCOMPARE(LittleEndian32(wav, 4), uint32_t(wav.size() - 8));
    QCOMPARE(LittleEndian32(wav, 40), uint32_t(wav.size() - 44));
    QVERIFY(int64_t(LittleEndian32(wav, 40)) < sourceBytes);  // cancelled, not saved whole
    // A save error while closing on a signal goes to stderr: no box holds the close up. Someone
    // who pressed Close is there to read it.
    w.ReportExportError("No space left on the device.");
    QCOMPARE(f.dialogs.messages.empty(), way == 0);
  }

  void OpenMessageBoxIsDismissedAndItsCallerFinishesFirst() {
    WindowWithRealDialogs window;
    QTemporaryDir folder;
    const std::filesystem::path garbage = folder.filePath("noise.xyz").toStdString();
    std::ofstream(garbage) << std::string(4000, 'x');
    // Raised from inside the "Invalid audio file!" box's own event loop.
    QTimer::singleShot(50, [] { raise(SIGTERM); });
    window.form.LoadFile(garbage.string());
    // The load ran to its end with the window still whole; the close follows from the main loop.
    QCOMPARE(window.form.Label1->text(), QString("No file loaded"));
    QVERIFY(window.form.isVisible());
    QTRY_VERIFY(!window.form.isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }
};

int RunTerminationTests(int argc, char** argv) {
  TerminationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_termination.moc"
