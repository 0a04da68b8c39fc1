// The window and murmex-cli share the load and save code, so the same input saved with the same
// settings must give the same bytes from both. Each case saves from the real window, runs the
// real murmex-cli, compares, and then shows that a change of any one setting changes the bytes,
// so a path that dropped that setting could not pass.
#include <QFile>
#include <QAction>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/options_menu.h"
#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/image_button.h"
#include "app/widgets/skin_label.h"
#include "app/widgets/smooth_progress_bar.h"
#include "app/widgets/track_bar.h"
#include "source/preview_player.h"
#include "source/source_loader.h"
#include "tests/app/form1_fixture.h"
#include "tests/cli/cli_process.h"
#include "tests/fixtures/fixture_paths.h"

using namespace murmex;
using murmex::testing::FixturePath;
using murmex::testing::Form1Fixture;

namespace {

using Args = std::vector<std::string>;

// A scratch folder with one subfolder for what the window saves and one for the CLI's files.
struct SaveFolders {
  QTemporaryDir folder;
  std::filesystem::path root{folder.path().toStdString()};
  SaveFolders() {
    std::filesystem::create_directories(root / "window");
    std::filesystem::create_directories(root / "cli");
  }
};

QByteArray ReadBytes(const std::filesystem::path& path) {
  QFile file(QString::fromStdString(path.string()));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Offset of the first differing byte, the shorter length when one is a prefix of the other, or
// -1 when both are equal: a failure then says where the two paths part.
qsizetype FirstDifference(const QByteArray& a, const QByteArray& b) {
  const qsizetype common = std::min(a.size(), b.size());
  for (qsizetype i = 0; i < common; ++i)
    if (a[i] != b[i]) return i;
  return a.size() == b.size() ? -1 : common;
}

void LoadThroughDialog(Form1Fixture& f, const std::filesystem::path& path) {
  f.dialogs.fileAnswers.push_back(path.string());
  QTest::mouseClick(f.form->SpeedButton1, Qt::LeftButton);
  QVERIFY2(f.form->Loader().Info().SourcePath == path.string(), "the window did not load the fixture");
}

// Save to file, name typed into the dialog, then wait until the writer (and for MP3 the tag) is done.
void SaveThroughDialog(Form1Fixture& f, const std::filesystem::path& path) {
  f.dialogs.fileAnswers.push_back(path.string());
  QTest::mouseClick(f.form->SpeedButton2, Qt::LeftButton);
  QVERIFY(f.form->Exporting());
  QTRY_VERIFY_WITH_TIMEOUT(!f.form->Exporting(), 30000);
  QVERIFY2(f.dialogs.messages.empty(), f.dialogs.messages.empty() ? "" : f.dialogs.messages.back().text.c_str());
}

void ClickUntil(TImageButton* button, const TSkinLabel* label, const QString& wanted) {
  for (int i = 0; i < 6 && label->Text() != wanted; ++i) QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(label->Text(), wanted);
}

QByteArray SaveWithCli(const Args& options, const std::filesystem::path& input, const std::filesystem::path& output) {
  Args args{"--quiet", "--force", "-o", output.string()};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(input.string());
  const murmex::testing::CliResult result = murmex::testing::RunCli(args);
  if (result.ExitCode != 0) qWarning("murmex-cli exited with %d: %s", result.ExitCode, result.Err.c_str());
  return result.ExitCode == 0 ? ReadBytes(output) : QByteArray();
}

// Each variant changes one of the matched settings; none may reproduce the window's bytes.
void EveryChangedSettingDiffers(const QByteArray& windowBytes, const std::vector<Args>& variants,
                                const std::filesystem::path& input, const std::filesystem::path& output) {
  for (size_t i = 0; i < variants.size(); ++i) {
    const QByteArray other = SaveWithCli(variants[i], input, output);
    QVERIFY(!other.isEmpty());
    QVERIFY2(other != windowBytes, qPrintable(QString("variant %1 gave the window's bytes").arg(i)));
  }
}

}  // namespace

class WindowCliParityTest : public QObject {
  Q_OBJECT

 private slots:
  // Two runs of the same command must agree before the window can be compared with either; a
  // difference here lies in the shared load, engine or save code, not in the window.
  void TheCommandLineRepeatsItself() {
    const std::filesystem::path input = FixturePath("stereo_44100.wav");
    QTemporaryDir folder;
    const std::filesystem::path root = folder.path().toStdString();
    const Args options{"--bias", "3", "--reduction", "800", "--dc-offset", "--detail"};
    const QByteArray first = SaveWithCli(options, input, root / "first.wav");
    QVERIFY(!first.isEmpty());
    for (int run = 0; run < 3; ++run) {
      const QByteArray again = SaveWithCli(options, input, root / "again.wav");
      QCOMPARE(again.size(), first.size());
      QCOMPARE(FirstDifference(again, first), qsizetype(-1));
    }
  }

  void WavSaveMatchesTheCommandLine() {
    const std::filesystem::path input = FixturePath("stereo_44100.wav");
    const SaveFolders folders;
    const std::filesystem::path& root = folders.root;

    Form1Fixture f;
    TForm1& w = *f.form;
    LoadThroughDialog(f, input);
    // The classic method: the detail amplifier is one of its rules.
    w.OptionsMenu1->ClassicMethod->trigger();
    w.NoiseLevel1->setValue(3);
    w.att1->setValue(800);
    QTest::mouseClick(w.CheckBox3, Qt::LeftButton);
    QTest::mouseClick(w.CheckBox2, Qt::LeftButton);
    QCOMPARE(w.Label4->text(), QString("+3 dB"));
    QCOMPARE(w.Label8->text(), QString("140%"));
    QVERIFY(w.CheckBox2->Checked() && w.CheckBox3->Checked());
    QCOMPARE(w.labelFormat->Text(), QString("WAV"));
    SaveThroughDialog(f, root / "window" / "take.wav");
    if (QTest::currentTestFailed()) return;

    const QByteArray windowBytes = ReadBytes(root / "window" / "take.wav");
    // Header, the source and the one block of latency: the whole source went through.
    QCOMPARE(int64_t(windowBytes.size()), 44 + w.Loader().Info().LengthBytes + 2048);

    const Args matching{"--method", "classic", "--bias", "3", "--reduction", "800", "--dc-offset", "--detail"};
    const QByteArray cliBytes = SaveWithCli(matching, input, root / "cli" / "take.wav");
    QCOMPARE(cliBytes.size(), windowBytes.size());
    QCOMPARE(FirstDifference(cliBytes, windowBytes), qsizetype(-1));

    EveryChangedSettingDiffers(windowBytes,
                               {{"--method", "classic", "--bias", "2", "--reduction", "800", "--dc-offset", "--detail"},
                                {"--method", "classic", "--bias", "3", "--reduction", "790", "--dc-offset", "--detail"},
                                {"--method", "classic", "--bias", "3", "--reduction", "800", "--detail"},
                                {"--method", "classic", "--bias", "3", "--reduction", "800", "--dc-offset"},
                                {"--bias", "3", "--reduction", "800", "--dc-offset", "--detail"}},
                               input, root / "cli" / "variant.wav");
  }

  void Mp3SaveMatchesTheCommandLine() {
    const std::filesystem::path input = FixturePath("tagged_22050_64k.mp3");
    const SaveFolders folders;
    const std::filesystem::path& root = folders.root;

    Form1Fixture f;
    TForm1& w = *f.form;
    LoadThroughDialog(f, input);
    QCOMPARE(w.Ind3->Text(), QString("Stereo"));
    ClickUntil(w.app_format, w.labelFormat, "MP3");
    ClickUntil(w.app_rate, w.labelKbps, "160");
    w.NoiseLevel1->setValue(-4);
    w.att1->setValue(300);
    QTest::mouseClick(w.CheckBox3, Qt::LeftButton);
    QVERIFY(w.CheckBox3->Checked());
    // A name typed with another extension: both paths write out.mp3.
    SaveThroughDialog(f, root / "window" / "out.wav");
    if (QTest::currentTestFailed()) return;

    const QByteArray windowBytes = ReadBytes(root / "window" / "out.mp3");
    QVERIFY(windowBytes.size() > 1000);
    // The source's ID3v1 tag, with the program's comment, ends the file.
    const QByteArray tag = windowBytes.right(128);
    QVERIFY(tag.startsWith("TAG"));
    QCOMPARE(tag.mid(3, 8), QByteArray("Old Song"));
    QCOMPARE(tag.mid(97, 24), QByteArray("Denoised by Tarlo Murmex"));

    const Args matching{"-f", "mp3", "-b", "160", "--bias", "-4", "--reduction", "300", "--dc-offset"};
    const QByteArray cliBytes = SaveWithCli(matching, input, root / "cli" / "out.mp3");
    QCOMPARE(cliBytes.size(), windowBytes.size());
    QCOMPARE(FirstDifference(cliBytes, windowBytes), qsizetype(-1));

    EveryChangedSettingDiffers(
        windowBytes,
        {{"-f", "mp3", "-b", "128", "--bias", "-4", "--reduction", "300", "--dc-offset"},
         {"-f", "mp3", "-b", "160", "--bias", "-5", "--reduction", "300", "--dc-offset"},
         {"-f", "mp3", "-b", "160", "--bias", "-4", "--reduction", "310", "--dc-offset"},
         {"-f", "mp3", "-b", "160", "--bias", "-4", "--reduction", "300"}},
        input, root / "cli" / "variant.mp3");
  }

  // The right-click menu's method and save choices reach the save as the CLI's flags do.
  void AdaptiveMenuSaveMatchesTheCommandLine() {
    const std::filesystem::path input = FixturePath("stereo_44100.wav");
    const SaveFolders folders;
    const std::filesystem::path& root = folders.root;

    Form1Fixture f;
    TForm1& w = *f.form;
    LoadThroughDialog(f, input);
    for (QAction* choice : {w.OptionsMenu1->AdaptiveMethod, w.OptionsMenu1->LearnNoise, w.OptionsMenu1->KeepTiming})
      choice->trigger();
    w.att1->setValue(900);
    SaveThroughDialog(f, root / "window" / "menu.wav");
    if (QTest::currentTestFailed()) return;

    const QByteArray windowBytes = ReadBytes(root / "window" / "menu.wav");
    // Kept timing: the header and exactly the source, no block of latency.
    QCOMPARE(int64_t(windowBytes.size()), 44 + w.Loader().Info().LengthBytes);

    const Args matching{"--method", "adaptive", "--learn", "--aligned", "--reduction", "900"};
    const QByteArray cliBytes = SaveWithCli(matching, input, root / "cli" / "menu.wav");
    QCOMPARE(cliBytes.size(), windowBytes.size());
    QCOMPARE(FirstDifference(cliBytes, windowBytes), qsizetype(-1));

    EveryChangedSettingDiffers(windowBytes,
                               {{"--method", "classic", "--learn", "--aligned", "--reduction", "900"},
                                {"--method", "adaptive", "--aligned", "--reduction", "900"},
                                {"--method", "adaptive", "--learn", "--reduction", "900"}},
                               input, root / "cli" / "variant.wav");
  }

  // A preview before the save must not leave anything behind that changes what is saved.
  void SaveAfterAPreviewStillMatches() {
    const std::filesystem::path input = FixturePath("mono_44100.wav");
    const SaveFolders folders;
    const std::filesystem::path& root = folders.root;

    Form1Fixture f;
    TForm1& w = *f.form;
    LoadThroughDialog(f, input);
    w.NoiseLevel1->setValue(5);
    QTest::mouseClick(w.CheckBox1, Qt::LeftButton);
    QTest::mouseClick(w.CheckBox3, Qt::LeftButton);
    QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.ProgressBar2->Position() > 0, 5000);
    QTest::mouseClick(w.SpeedButton5, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Player().Running(), 5000);
    SaveThroughDialog(f, root / "window" / "after.wav");
    if (QTest::currentTestFailed()) return;

    const QByteArray windowBytes = ReadBytes(root / "window" / "after.wav");
    const QByteArray cliBytes = SaveWithCli({"--bias", "5", "--dc-offset"}, input, root / "cli" / "after.wav");
    QCOMPARE(cliBytes.size(), windowBytes.size());
    QCOMPARE(FirstDifference(cliBytes, windowBytes), qsizetype(-1));
  }
};

QTEST_MAIN(WindowCliParityTest)

#include "test_window_cli_parity.moc"
