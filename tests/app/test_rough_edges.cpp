// Rough edges met in use: cut dialog titles, touching captions, a failed load's message before the
// window shows what the load left, a silently lowered MP3 bitrate, a save that does not say where it went.
#include <sys/stat.h>

#include <QAccessible>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "app/qt_dialogs.h"
#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/smooth_progress_bar.h"
#include "tests/app/form1_fixture.h"
#include "tests/app/test_suites.h"
#include "tests/fixtures/fixture_paths.h"

using namespace murmex;
using murmex::testing::FixturePath;
using murmex::testing::Form1Fixture;
using murmex::testing::Info;
using murmex::testing::Load;

class RoughEdgeTest : public QObject {
  Q_OBJECT

 private slots:
  void MessageBoxesShowTheirWholeTitle() {
    QtDialogs dialogs(nullptr);
    for (const char* caption : {"Same file", "Confirmation", kApplicationTitle}) {
      QString shown;
      QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        shown = box->width() >= TitleWidth(caption) ? box->windowTitle() : "too narrow";
        box->accept();
      });
      dialogs.ShowMessage("I cannot write origin file!", caption, MessageIcon::Error, MessageButtons::Ok);
      QCOMPARE(shown, QString(caption));
    }
  }

  void CaptionsAndValuesNeverTouch() {
    Form1Fixture f;
    TForm1& w = *f.form;
    for (int vbr = 0; vbr < 2; ++vbr) {  // Label6 reads "Output kbps:", then "Out quality:"
      for (const auto& [caption, value] : std::vector<std::pair<const QLabel*, const QWidget*>>{
               {w.Label2, w.Label4}, {w.Label7, w.Label8}, {w.Label5, w.labelFormat}, {w.Label6, w.labelKbps}}) {
        const int ends = caption->x() + QFontMetrics(caption->font()).horizontalAdvance(caption->text());
        QVERIFY2(ends + 3 <= value->x() && caption->geometry().right() < value->x(), qPrintable(caption->text()));
      }
      QTest::mouseClick(w.vbr_check, Qt::LeftButton);
    }
    QCOMPARE(w.Label2->text() + w.Label4->text() + w.Label6->text(), QString("Noise bias level:0 dBOutput kbps:"));
  }

  void FailedLoadShowsItsMessageOverTheFileThatStaysLoaded() {
    Form1Fixture f;
    QTemporaryDir folder;
    const std::filesystem::path garbage = folder.filePath("noise.xyz").toStdString();
    std::ofstream(garbage) << std::string(4000, 'x');
    QStringList shown;
    f.dialogs.onMessage = [&] {
      shown << QString::fromStdString(f.dialogs.messages.back().text) + " " + Info(f) + " " + f.ButtonStates();
    };
    const std::filesystem::path broken = folder.filePath("broken.ogg").toStdString();
    std::ofstream(broken) << std::string(4000, 'x');
    const std::filesystem::path pipe = folder.filePath("pipe.wav").toStdString();
    QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);  // refused before any open: the window never waits on it
    for (const std::filesystem::path& file : {garbage, FixturePath("u8_mono_22050.wav"), broken, pipe}) {
      Load(f, FixturePath("stereo_44100.wav"));
      Load(f, file);
    }
    QCOMPARE(shown, QStringList({"noise.xyz: Invalid audio file! PCM|44100Hz|Stereo|1411 kbps|stereo_44100.wav 111100",
                                 "u8_mono_22050.wav: Only 16 bits audio supported! PCM|44100Hz|Stereo|1411 kbps|stereo_44100.wav 111100",
                                 "broken.ogg: File could not be loaded! Cannot open file " + QString::fromStdString(broken.string()) +
                                     " PCM|44100Hz|Stereo|1411 kbps|stereo_44100.wav 111100",
                                 "pipe.wav: a named pipe (FIFO), not a regular file PCM|44100Hz|Stereo|1411 kbps|stereo_44100.wav 111100"}));
    // As the README says, only uncompressed 8-bit PCM is refused: an 8-bit FLAC loads.
    const QString flac = folder.filePath("eight_bit.flac");
    QCOMPARE(QProcess::execute("sox", {"-n", "-r", "22050", "-b", "8", flac, "synth", "0.5", "sine", "440"}), 0);
    Load(f, flac.toStdString());
    QCOMPARE(shown.size(), 4);
    QCOMPARE(f.form->Ind1->Text(), QString("FLAC"));
  }

  void Mp3HintNamesTheBitrateWritten() {
    Form1Fixture f;
    TForm1& w = *f.form;
    const QString lowered = "%1 kbps is written as 160 kbps: MP3 at 22050 Hz holds at most 160 kbps";
    Load(f, FixturePath("mono_22050.wav"));
    // From WAV: MP3 at 256, 320, 96, a VBR quality, 96 again, 128, 160, 192, then OGG.
    const std::vector<std::pair<QWidget*, QString>> steps = {
        {w.app_format, lowered.arg(256)}, {w.app_rate, lowered.arg(320)}, {w.app_rate, ""}, {w.vbr_check, ""},
        {w.vbr_check, ""}, {w.app_rate, ""}, {w.app_rate, ""}, {w.app_rate, lowered.arg(192)}, {w.app_format, ""}};
    for (const auto& [control, hint] : steps) {
      QTest::mouseClick(control, Qt::LeftButton);
      QCOMPARE(w.labelKbps->toolTip(), hint);
      QCOMPARE(QAccessible::queryAccessibleInterface(w.labelKbps)->text(QAccessible::Description), hint);
    }
    for (int i = 0; i < 3; ++i) QTest::mouseClick(w.app_format, Qt::LeftButton);  // WMA, WAV, MP3
    Load(f, FixturePath("stereo_44100.wav"));
    QCOMPARE(w.labelFormat->Text() + w.labelKbps->toolTip(), QString("MP3"));
  }

  void SaveEndsByShowingWhereTheFileWent() {
    Form1Fixture f;
    TForm1& w = *f.form;
    QTemporaryDir folder;
    Load(f, FixturePath("mono_22050.wav"));
    f.dialogs.fileAnswers.push_back(folder.filePath("take1.wav").toStdString());
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Exporting(), 20000);
    QCOMPARE(w.ProgressBar1->ValueText() + "|" + w.ProgressBar1->toolTip(),
             "Saved: take1.wav|" + folder.filePath("take1.wav"));
    QTRY_COMPARE_WITH_TIMEOUT(w.ProgressBar1->ValueText() + w.ProgressBar1->toolTip(), QString("0%"), 8000);
  }
};

int RunRoughEdgeTests(int argc, char** argv) {
  RoughEdgeTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_rough_edges.moc"
