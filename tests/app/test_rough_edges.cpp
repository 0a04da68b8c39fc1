// Rough edges met in use: cut dialog titles, touching captions, a failed load's message over the
// previous file's labels, a silently lowered MP3 bitrate, a save that does not say where it went,
// and a start without a display.
#include <QAccessible>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/display_check.h"
#include "app/qt_dialogs.h"
#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/image_button.h"
#include "app/widgets/skin.h"
#include "app/widgets/skin_label.h"
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
    for (const char* caption : {"Same file", "Confirmation", "Save failed", kApplicationTitle}) {
      QString shownTitle;
      int shownWidth = 0;
      QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        shownTitle = box->windowTitle();
        shownWidth = box->width();
        box->accept();
      });
      dialogs.ShowMessage("I cannot write origin file!", caption, MessageIcon::Error, MessageButtons::Ok);
      QCOMPARE(shownTitle, QString(caption));
      QVERIFY2(shownWidth >= TitleWidth(caption), caption);
    }
  }

  void CaptionsAndValuesNeverTouch() {
    Form1Fixture f;
    TForm1& w = *f.form;
    const auto check = [](const QLabel* caption, const QWidget* value) {
      const int ends = caption->x() + QFontMetrics(caption->font()).horizontalAdvance(caption->text());
      QVERIFY2(ends + 3 <= value->x(), qPrintable(caption->text()));
      QVERIFY2(caption->geometry().right() < value->x(), qPrintable(caption->text()));
    };
    const std::vector<std::pair<const QLabel*, const QWidget*>> pairs = {
        {w.Label2, w.Label4}, {w.Label7, w.Label8}, {w.Label5, w.labelFormat}, {w.Label6, w.labelKbps}};
    for (const auto& [caption, value] : pairs) check(caption, value);
    QCOMPARE(w.Label2->text() + w.Label4->text(), QString("Noise bias level:0 dB"));
    QTest::mouseClick(w.vbr_check, Qt::LeftButton);
    QCOMPARE(w.Label6->text(), QString("Out quality:"));
    check(w.Label6, w.labelKbps);

    // However wide the face that stands in, the caption is fitted to its room.
    for (const char* family : {"DejaVu Sans", "Liberation Sans"}) {
      QFont face(family);
      face.setPixelSize(11);
      for (const int room : {76, 64}) {
        const QFont fitted = skin::FitToWidth(face, "Noise bias level:", room);
        QVERIFY2(QFontMetrics(fitted).horizontalAdvance("Noise bias level:") <= room, family);
      }
    }
  }

  void FailedLoadEmptiesTheWindowBeforeItsMessage() {
    Form1Fixture f;
    QTemporaryDir folder;
    const std::filesystem::path garbage = folder.filePath("noise.xyz").toStdString();
    std::ofstream(garbage) << std::string(4000, 'x');
    QString shownBehind;
    f.dialogs.onMessage = [&] { shownBehind = Info(f) + " " + f.ButtonStates(); };
    const std::map<std::string, std::filesystem::path> failures = {
        {"Invalid audio file!", garbage}, {"Only 16 bits audio supported!", FixturePath("u8_mono_22050.wav")}};
    for (const auto& [message, file] : failures) {
      Load(f, FixturePath("stereo_44100.wav"));
      QVERIFY(f.dialogs.messages.empty());
      Load(f, file);
      QCOMPARE(f.dialogs.MessageTexts(), std::vector<std::string>{message});
      QCOMPARE(shownBehind, QString("||||No file loaded 101000"));
      f.dialogs.messages.clear();
    }

    // What the README says is refused: 8-bit PCM (WAV) only; an 8-bit FLAC is decoded like any.
    const QString flac = folder.filePath("eight_bit.flac");
    QCOMPARE(QProcess::execute("sox", {"-n", "-r", "22050", "-c", "1", "-b", "8", flac, "synth", "0.5", "sine", "440"}),
             0);
    Load(f, flac.toStdString());
    QVERIFY(f.dialogs.messages.empty());
    QCOMPARE(f.form->Ind1->Text() + " " + f.form->Ind2->Text(), QString("FLAC 22050Hz"));
  }

  void Mp3HintNamesTheBitrateWritten() {
    Form1Fixture f;
    TForm1& w = *f.form;
    const QString lowered = "%1 kbps is written as 160 kbps: MP3 at 22050 Hz holds at most 160 kbps";
    Load(f, FixturePath("mono_22050.wav"));
    QCOMPARE(w.labelKbps->toolTip(), QString());
    QTest::mouseClick(w.app_format, Qt::LeftButton);
    QCOMPARE(w.labelFormat->Text() + " " + w.labelKbps->Text(), QString("MP3 256"));
    QCOMPARE(w.labelKbps->toolTip(), lowered.arg(256));
    QCOMPARE(QAccessible::queryAccessibleInterface(w.labelKbps)->text(QAccessible::Description), lowered.arg(256));
    struct Step {
      QWidget* click;
      QString hint;
    };
    const std::vector<Step> steps = {
        {w.app_rate, lowered.arg(320)}, {w.app_rate, ""},     // 320, then 96
        {w.vbr_check, ""},              {w.vbr_check, ""},    // a quality, then 96 again
        {w.app_rate, ""},               {w.app_rate, ""},     // 128, 160
        {w.app_rate, lowered.arg(192)}, {w.app_format, ""},   // 192; OGG says nothing
    };
    for (const Step& step : steps) {
      QTest::mouseClick(step.click, Qt::LeftButton);
      QCOMPARE(w.labelKbps->toolTip(), step.hint);
    }
    for (int i = 0; i < 3; ++i) QTest::mouseClick(w.app_format, Qt::LeftButton);
    QCOMPARE(w.labelKbps->toolTip(), lowered.arg(192));
    Load(f, FixturePath("stereo_44100.wav"));
    QCOMPARE(w.labelKbps->toolTip(), QString());
  }

  void SaveEndsByShowingWhereTheFileWent() {
    Form1Fixture f;
    TForm1& w = *f.form;
    QTemporaryDir folder;
    Load(f, FixturePath("mono_22050.wav"));
    const QString written = folder.filePath("take1.wav");
    f.dialogs.fileAnswers.push_back(written.toStdString());
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Exporting(), 20000);
    QCOMPARE(w.ProgressBar1->ValueText(), QString("Saved: take1.wav"));
    QCOMPARE(w.ProgressBar1->toolTip(), written);
    QTRY_COMPARE_WITH_TIMEOUT(w.ProgressBar1->ValueText(), QString("0%"), 8000);
    QCOMPARE(w.ProgressBar1->toolTip(), QString());

    // A save refused before it starts leaves the bar as it is.
    f.dialogs.fileAnswers.push_back(FixturePath("mono_22050.wav").string());
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QCOMPARE(w.ProgressBar1->ValueText(), QString("0%"));
  }

  void NoDisplayIsToldBeforeQtStarts() {
    struct Case {
      std::map<std::string, std::string> environment;
      std::vector<std::string> arguments;
      bool missing;
    };
    const std::vector<Case> cases = {
        {{}, {}, true},
        {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, {}, true},
        {{{"DISPLAY", ":0"}}, {}, false},
        {{{"WAYLAND_DISPLAY", "wayland-0"}}, {}, false},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, {}, false},
        {{}, {"-platform", "offscreen"}, false},
        {{}, {"take1.wav"}, true},
    };
    for (const Case& c : cases) {
      std::vector<std::string> strings = {"murmex"};
      strings.insert(strings.end(), c.arguments.begin(), c.arguments.end());
      std::vector<char*> argv;
      for (std::string& s : strings) argv.push_back(s.data());
      const auto lookup = [&c](const char* name) -> const char* {
        const auto found = c.environment.find(name);
        return found == c.environment.end() ? nullptr : found->second.c_str();
      };
      QCOMPARE(MissingDisplay(static_cast<int>(argv.size()), argv.data(), lookup).has_value(), c.missing);
    }
    const std::string text = NoDisplayMessage("neither DISPLAY nor WAYLAND_DISPLAY is set");
    QVERIFY(text.find("no display found") != std::string::npos);
    QVERIFY(text.find("murmex-cli") != std::string::npos);
    QVERIFY(text.find("make demo") != std::string::npos);
  }
};

int RunRoughEdgeTests(int argc, char** argv) {
  RoughEdgeTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_rough_edges.moc"
