// Loading and closing that must never cost the user anything: a failed load leaves the loaded
// file, a named pipe never blocks the window, names that are not UTF-8 load, and closing during
// a save cancels it, keeps its valid file and then closes.
#include <sys/stat.h>

#include <QDir>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "app/local_file_path.h"
#include "app/widgets/image_button.h"
#include "source/bass.h"
#include "source/source_loader.h"
#include "tests/app/form1_fixture.h"
#include "tests/app/test_suites.h"
#include "tests/app/wav_bytes.h"
#include "tests/fixtures/fixture_paths.h"

using namespace murmex;
using murmex::testing::FixturePath;
using murmex::testing::Form1Fixture;
using murmex::testing::Info;
using murmex::testing::Load;
using murmex::testing::LittleEndian32;
using murmex::testing::ReadAll;

namespace {

// A silent 16-bit stereo WAV long enough that a save is still running when it is closed.
void WriteLongWav(const std::filesystem::path& path, uint32_t seconds) {
  const uint32_t dataBytes = seconds * 48000 * 4;
  const auto word = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  std::ofstream out(path, std::ios::binary);
  out << "RIFF" << word(36 + dataBytes) << "WAVEfmt " << word(16) << std::string("\x01\x00\x02\x00", 4)
      << word(48000) << word(48000 * 4) << std::string("\x04\x00\x10\x00", 4) << "data" << word(dataBytes)
      << std::string(dataBytes, '\0');
}

void Drop(Form1Fixture& f, const QByteArray& uriList) {
  QMimeData data;
  data.setData("text/uri-list", uriList);
  QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(f.form.get(), &enter);
  QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(f.form.get(), &drop);
}

}  // namespace

class LoadAndCloseTest : public QObject {
  Q_OBJECT

 private slots:
  void CloseDuringASaveCancelsItKeepsItsFileAndCloses_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("Close button") << 0;
    QTest::newRow("close control (X)") << 1;
    QTest::newRow("Ctrl+Q") << 2;
    QTest::newRow("window manager") << 3;
  }

  void CloseDuringASaveCancelsItKeepsItsFileAndCloses() {
    QFETCH(int, way);
    Form1Fixture f;
    TForm1& w = *f.form;
    QTemporaryDir folder;
    const std::filesystem::path root = folder.path().toStdString();
    WriteLongWav(root / "long.wav", 60);
    Load(f, root / "long.wav");
    f.dialogs.fileAnswers.push_back((root / "cut.wav").string());
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QVERIFY(w.Exporting());
    QCOMPARE(f.ButtonStates(), QString("001001"));
    const int64_t sourceBytes = w.Loader().Info().LengthBytes;  // the loader goes with the window

    const std::function<void()> closes[] = {
        [&] { QTest::mouseClick(w.SpeedButton3, Qt::LeftButton); },
        [&] { QTest::mouseClick(w.VrHotImage3, Qt::LeftButton); },
        [&] { QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier); },
        [&] { w.close(); },
    };
    QVERIFY(f.active);
    closes[way]();
    // The close waits for the writer, from the event loop: the window is still there.
    QVERIFY(w.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 20000);
    QVERIFY(!w.Exporting());
    QVERIFY(f.dialogs.messages.empty());
    const std::string wav = ReadAll(root / "cut.wav");
    QVERIFY(wav.size() >= 44);
    QCOMPARE(LittleEndian32(wav, 4), uint32_t(wav.size() - 8));
    QCOMPARE(LittleEndian32(wav, 40), uint32_t(wav.size() - 44));
    QVERIFY(int64_t(LittleEndian32(wav, 40)) < sourceBytes);  // cut short by the close
  }

  void AFailedLoadLeavesTheLoadedFileAndNamesTheRefusedOne_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("firstMessage");
    QTest::newRow("8-bit WAV") << QString::fromStdString(FixturePath("u8_mono_22050.wav").string())
                               << "u8_mono_22050.wav: Only 16 bits audio supported!";
    QTest::newRow("6 channels") << QString::fromStdString(FixturePath("six_channel_48000.wav").string())
                                << "six_channel_48000.wav: This file has more than 2 channels. Preview is not supported!";
    QTest::newRow("not Ogg") << "broken.ogg" << "broken.ogg: File could not be loaded! ";
    QTest::newRow("named pipe") << "pipe.wav" << "pipe.wav: a named pipe (FIFO), not a regular file";
  }

  void AFailedLoadLeavesTheLoadedFileAndNamesTheRefusedOne() {
    QFETCH(QString, file);
    QFETCH(QString, firstMessage);
    Form1Fixture f;
    QTemporaryDir folder;
    QVERIFY(::mkfifo(folder.filePath("pipe.wav").toLocal8Bit().constData(), 0600) == 0);
    std::ofstream(folder.filePath("broken.ogg").toStdString()) << std::string(4000, 'x');
    Load(f, FixturePath("stereo_44100.wav"));
    const HSTREAM decoder = f.form->Loader().DecodeStream();

    Load(f, QDir(folder.path()).filePath(file).toStdString());
    QVERIFY(!f.dialogs.messages.empty());
    QVERIFY2(f.dialogs.messages.front().text.starts_with(firstMessage.toStdString()),
             f.dialogs.messages.front().text.c_str());
    QCOMPARE(Info(f), QString("PCM|44100Hz|Stereo|1411 kbps|stereo_44100.wav"));
    QCOMPARE(f.form->Label1->toolTip(), QString("stereo_44100.wav"));
    QCOMPARE(f.ButtonStates(), QString("111100"));
    QCOMPARE(f.form->Loader().DecodeStream(), decoder);
    QVERIFY(BASS_ChannelGetLength(decoder, BASS_POS_BYTE) != BASS_POSITION_ERROR);
  }

  void NamesThatAreNotUtf8LoadFromTheCommandLineAndFromDrops() {
    Form1Fixture f;
    QTemporaryDir folder;
    const std::string name = "caf\xE9 \xFF.wav";
    std::filesystem::copy_file(FixturePath("mono_44100.wav"), std::filesystem::path(folder.path().toStdString()) / name);
    const QString shown = QString::fromStdString(name);  // each stray byte shows as U+FFFD

    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder.path());
    f.form->LoadFile(PathOfArgument(name.c_str()));
    QDir::setCurrent(previous);
    QCOMPARE(Info(f), "PCM|44100Hz|Mono|705 kbps|" + shown);

    Load(f, FixturePath("stereo_44100.wav"));
    Drop(f, "file://" + QUrl::toPercentEncoding(folder.path(), "/") + "/caf%E9%20%FF.wav\r\n");
    QCOMPARE(Info(f), "PCM|44100Hz|Mono|705 kbps|" + shown);
    QVERIFY(f.dialogs.messages.empty());
    std::filesystem::remove(std::filesystem::path(folder.path().toStdString()) / name);  // Qt cannot name it
  }

  void UrlsAndArgumentsKeepTheBytesOfTheirNames() {
    const std::vector<std::pair<QByteArray, std::optional<std::string>>> urls{
        {"file:///tmp/a%FF.wav", "/tmp/a\xFF.wav"},
        {"file:///tmp/%C3%BC%20x.wav", "/tmp/\xC3\xBC x.wav"},
        {"file:///tmp/100%25.wav", "/tmp/100%.wav"},
        {"https://example.org/a.wav", std::nullopt},
    };
    for (const auto& [url, path] : urls) QCOMPARE(LocalPathOfUrl(QUrl::fromEncoded(url)), path);
    const std::string cwd = std::filesystem::current_path().string();
    QCOMPARE(PathOfArgument("sub/../a\xFF.wav"), cwd + "/a\xFF.wav");
    QCOMPARE(PathOfArgument("/abs/./b.wav"), std::string("/abs/b.wav"));
  }
};

int RunLoadAndCloseTests(int argc, char** argv) {
  LoadAndCloseTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_load_and_close.moc"
