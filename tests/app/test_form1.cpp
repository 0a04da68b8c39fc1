#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/local_file_path.h"
#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/gradient_bar.h"
#include "app/widgets/image_button.h"
#include "app/widgets/image_view.h"
#include "app/widgets/led.h"
#include "app/widgets/skin.h"
#include "app/widgets/skin_label.h"
#include "app/widgets/smooth_progress_bar.h"
#include "app/widgets/track_bar.h"
#include "source/preview_player.h"
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

constexpr const char* kOpenFilter =
    "Supported audio files (wav, ogg, wma, mp3, flac)|*.wav;*.mp3;*.ogg;*.wma;*.flac|Wave audio (*.wav)|*.wav|"
    "OggVorbis audio (*.ogg)|*.ogg|MP3 audio (*.mp3)|*.mp3|Windows Media Audio (*.wma)|*.wma|FLAC audio (*.flac)|*.flac";


void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private slots:
  void StartUpLaysOutEveryControl() {
    Form1Fixture f;
    TForm1& w = *f.form;
    QCOMPARE(w.size(), QSize(409, 497));
    QCOMPARE(w.windowTitle(), QString("FFT Noise reduction by Tarlo"));
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!w.mask().isEmpty());
    QVERIFY(!w.mask().contains(QPoint(0, 0)));  // rounded corner
    QVERIFY(w.mask().contains(QPoint(204, 248)));

    struct Place {
      const QWidget* control;
      QRect place;
    };
    const std::vector<Place> places = {
        {w.Image1, {4, 6, 32, 32}},          {w.VrHotImage4, {324, -1, 28, 19}},  {w.VrHotImage3, {351, -1, 49, 20}},
        {w.SpeedButton1, {8, 40, 105, 39}},  {w.SpeedButton2, {120, 40, 169, 39}}, {w.SpeedButton3, {296, 40, 105, 39}},
        {w.Panel1, {8, 88, 393, 49}},        {w.Panel3, {8, 144, 393, 161}},      {w.Image2, {32, 8, 353, 89}},
        {w.PaintBox1, {32, 8, 345, 89}},     {w.VrGradient3, {22, 6, 1, 94}},     {w.VrGradient2, {25, 100, 362, 1}},
        {w.Spectra1, {5, 106, 140, 17}},     {w.CheckBox4, {5, 122, 140, 17}},    {w.CheckBox5, {5, 138, 140, 17}},
        {w.Panel2, {8, 312, 393, 41}},       {w.SpeedButton4, {24, 8, 49, 25}},   {w.SpeedButton5, {80, 8, 49, 25}},
        {w.CheckBox1, {184, 16, 177, 17}},   {w.ProgressBar2, {8, 357, 393, 9}},  {w.Led1, {4, 375, 17, 17}},
        {w.NoiseLevel1, {8, 392, 193, 25}},  {w.att1, {198, 392, 195, 25}},       {w.CheckBox3, {5, 423, 124, 17}},
        {w.DCMeter1, {136, 426, 49, 15}},    {w.PaintBox2, {1, 3, 46, 9}},        {w.CheckBox2, {5, 440, 132, 17}},
        {w.app_format, {320, 425, 17, 17}},  {w.app_rate, {320, 441, 17, 17}},    {w.vbr_check, {349, 440, 52, 17}},
        {w.SpeedButton6, {8, 465, 57, 19}},  {w.ProgressBar1, {72, 465, 329, 20}},
    };
    for (const auto& [control, place] : places) QCOMPARE(control->geometry(), place);
    struct Origin {
      const QWidget* control;
      QPoint origin;
    };
    const std::vector<Origin> origins = {
        {w.Ind1, {8, 0}},     {w.Ind2, {56, 0}},     {w.Ind3, {128, 0}},   {w.Ind4, {182, 0}},
        {w.IndRate, {322, 0}}, {w.Label1, {16, 24}},  {w.VrLabel2, {8, 7}}, {w.VrLabel1, {320, 106}},
        {w.Label2, {24, 376}}, {w.Label4, {104, 376}}, {w.Label7, {208, 376}}, {w.Label8, {288, 376}},
        {w.Label5, {208, 426}}, {w.labelFormat, {288, 424}}, {w.Label6, {208, 442}}, {w.labelKbps, {288, 440}},
    };
    for (const auto& [control, origin] : origins) QCOMPARE(control->pos(), origin);

    QCOMPARE(w.SpeedButton1->Caption(), QString("Load file"));
    QCOMPARE(w.SpeedButton1->toolTip(), QString("Load file to process it (Ctrl+O)"));
    QCOMPARE(w.SpeedButton2->Caption(), QString("Save to file"));
    QCOMPARE(w.SpeedButton2->toolTip(), QString("Save clean audio to new file (Ctrl+S)"));
    QCOMPARE(w.SpeedButton3->toolTip(), QString("Close Murmex (Ctrl+Q)"));
    QCOMPARE(w.SpeedButton4->toolTip(), QString("Play (Space)"));
    QCOMPARE(w.SpeedButton5->toolTip(), QString("Stop (Space, Esc)"));
    QCOMPARE(w.SpeedButton6->toolTip(), QString("Cancel current operation (Esc)"));
    QCOMPARE(w.VrHotImage4->toolTip(), QString("Minimize"));
    QCOMPARE(w.VrHotImage3->toolTip(), QString("Close"));
    QCOMPARE(w.CheckBox4->toolTip(), QString("Use noise print"));
    QCOMPARE(w.CheckBox1->Caption(), QString("Apply preview noise reduction"));
    QCOMPARE(w.app_rate->toolTip(), QString("Click to change output bitrate/quality"));

    QCOMPARE(f.ButtonStates(), QString("101000"));
    QCOMPARE(Info(f), QString("||||No file loaded"));
    QVERIFY(w.Spectra1->Checked());
    for (const TBitmapCheckBox* box : {w.CheckBox1, w.CheckBox2, w.CheckBox3, w.CheckBox4, w.CheckBox5, w.vbr_check})
      QVERIFY(!box->Checked());
    QCOMPARE(w.NoiseLevel1->value(), 0);
    QCOMPARE(w.NoiseLevel1->minimum(), -20);
    QCOMPARE(w.att1->value(), 600);
    QCOMPARE(w.att1->maximum(), 1100);
    QCOMPARE(w.Label4->text(), QString("0 dB"));
    QCOMPARE(w.Label8->text(), QString("100%"));
    QCOMPARE(w.labelFormat->Text(), QString("WAV"));
    QCOMPARE(w.labelKbps->Text(), QString("1411"));
    QCOMPARE(w.Label6->text(), QString("Output kbps:"));
    QVERIFY(!w.ProgressBar2->isEnabled());
    QCOMPARE(w.ProgressBar2->Maximum(), 1000.0);
    QCOMPARE(w.ProgressBar1->ValueText(), QString("0%"));
    QVERIFY(!w.Led1->IsOn());
    QCOMPARE(f.options.BiasFactor.load(), 1.0f);
    QVERIFY(qAbs(f.options.ReductionFactor.load() - 403.4288f) < 0.01f);
    QVERIFY(f.dialogs.messages.empty());
  }

  void StartUpWithoutSoundDeviceStillOpens() {
    const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    {
      Form1Fixture f;
      QCOMPARE(f.dialogs.MessageTexts(), std::vector<std::string>{"Bass DLL config problem!"});
      QVERIFY(f.form->isVisible());
      QCOMPARE(f.ButtonStates(), QString("101000"));
    }
    qputenv("SDL_AUDIODRIVER", driver);
  }

  void CaptionColourDecidesCommandState() {
    Form1Fixture f;
    TImageButton* load = f.form->SpeedButton1;
    load->SetCaptionColor(QColor(255, 0, 0));
    QVERIFY(load->isEnabled());
    load->SetCaptionColor(skin::kCaptionSilver);
    QVERIFY(!load->isEnabled());
    load->SetCaptionColor(QColor(191, 192, 192));
    QVERIFY(!load->isEnabled());
    load->SetCaptionColor(skin::kCaptionWhite);
    QVERIFY(load->isEnabled());
    // A disabled command ignores its key as it ignores a click.
    QVERIFY(f.active);
    load->SetCaptionColor(skin::kCaptionSilver);
    QTest::keyClick(f.form.get(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(f.dialogs.openRequests.empty());
    load->SetCaptionColor(skin::kCaptionWhite);
    QTest::keyClick(f.form.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(f.dialogs.openRequests.size(), size_t(1));
  }

  void SlidersSetFactorsAndCaptions() {
    Form1Fixture f;
    f.form->NoiseLevel1->setValue(5);
    QCOMPARE(f.form->Label4->text(), QString("+5 dB"));
    QVERIFY(qAbs(f.options.BiasFactor.load() - 3.1623f) < 0.001f);
    f.form->att1->setValue(110);
    QCOMPARE(f.form->Label8->text(), QString("2%"));
    QVERIFY(qAbs(f.options.ReductionFactor.load() - 3.0042f) < 0.001f);
    QTest::mouseClick(f.form->CheckBox3, Qt::LeftButton);
    QVERIFY(f.options.DcOffsetCorrection.load());
    QTest::mouseClick(f.form->CheckBox5, Qt::LeftButton);
    QVERIFY(f.options.CaptureMinima.load());
  }

  void LoadSuccessFillsTheInfoLine() {
    Form1Fixture f;
    f.dialogs.fileAnswers.push_back(std::nullopt);
    QTest::mouseClick(f.form->SpeedButton1, Qt::LeftButton);
    QCOMPARE(Info(f), QString("||||No file loaded"));

    Load(f, FixturePath("stereo_44100.wav"));
    QCOMPARE(f.dialogs.openRequests.back().title, std::string("Select audio file"));
    QCOMPARE(f.dialogs.openRequests.back().filter, std::string(kOpenFilter));
    QCOMPARE(Info(f), QString("PCM|44100Hz|Stereo|1411 kbps|stereo_44100.wav"));
    QCOMPARE(f.form->Label1->toolTip(), QString("stereo_44100.wav"));
    QCOMPARE(f.ButtonStates(), QString("111100"));
    QVERIFY(!f.form->ProgressBar2->isEnabled());
    QVERIFY(f.dialogs.messages.empty());

    Load(f, FixturePath("mono_22050.wav"));
    QCOMPARE(f.dialogs.openRequests.back().initialFolder, FixturePath("").parent_path().string());
    QCOMPARE(Info(f), QString("PCM|22050Hz|Mono|352 kbps|mono_22050.wav"));
    QCOMPARE(f.form->labelKbps->Text(), QString("352"));
  }

  void DroppedFileLoadsLikeTheOpenDialog() {
    Form1Fixture f;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(FixturePath("mono_32000.wav").string()))});
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.form.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.form.get(), &drop);
    QCOMPARE(Info(f), QString("PCM|32000Hz|Mono|512 kbps|mono_32000.wav"));
    QVERIFY(f.dialogs.openRequests.empty());

    // A name that is not UTF-8 loads from a drop (its URL carries the bytes) and from the command
    // line; the label shows each stray byte as U+FFFD.
    QTemporaryDir folder;
    const std::string name = "caf\xE9 \xFF.wav";
    const std::filesystem::path copy = std::filesystem::path(folder.path().toStdString()) / name;
    std::filesystem::copy_file(FixturePath("mono_44100.wav"), copy);
    QMimeData list;
    list.setData("text/uri-list", "file://" + QUrl::toPercentEncoding(folder.path(), "/") + "/caf%E9%20%FF.wav\r\n");
    QDragEnterEvent listEnter(QPoint(200, 200), Qt::CopyAction, &list, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.form.get(), &listEnter);
    QDropEvent listDrop(QPointF(200, 200), Qt::CopyAction, &list, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.form.get(), &listDrop);
    QCOMPARE(Info(f), "PCM|44100Hz|Mono|705 kbps|" + QString::fromStdString(name));
    Load(f, FixturePath("mono_32000.wav"));
    const QString workingFolder = QDir::currentPath();
    QDir::setCurrent(folder.path());
    f.form->LoadFile(PathOfArgument(("sub/../" + name).c_str()));
    QDir::setCurrent(workingFolder);
    QCOMPARE(Info(f), "PCM|44100Hz|Mono|705 kbps|" + QString::fromStdString(name));
    QVERIFY(f.dialogs.messages.empty());
    std::filesystem::remove(copy);  // QTemporaryDir cannot name it

    // While a command runs, Load is off and a drop is refused.
    f.form->SpeedButton1->SetCaptionColor(skin::kCaptionSilver);
    QDragEnterEvent refused(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QCoreApplication::sendEvent(f.form.get(), &refused);
    QVERIFY(!refused.isAccepted());
  }

  void WithNoFileLoadedFailuresShowTheirTexts() {
    Form1Fixture f;
    QTemporaryDir folder;
    const std::filesystem::path garbage = folder.filePath("noise.xyz").toStdString();
    WriteBytes(garbage, std::string(4000, 'x'));
    Load(f, garbage);
    QCOMPARE(f.dialogs.MessageTexts(), std::vector<std::string>{"noise.xyz: Invalid audio file!"});
    QCOMPARE(Info(f), QString("||||No file loaded"));
    QCOMPARE(f.ButtonStates(), QString("101000"));

    // An Ogg file that is not one fails while its details are read: the box says why.
    const std::filesystem::path broken = folder.filePath("broken.ogg").toStdString();
    WriteBytes(broken, std::string(4000, 'x'));
    Load(f, broken);
    QVERIFY(f.dialogs.messages.back().text.starts_with("broken.ogg: File could not be loaded! "));
    QCOMPARE(Info(f), QString("||||File could not be loaded!"));
    QCOMPARE(f.form->Label1->toolTip(), QString());
    QCOMPARE(f.ButtonStates(), QString("101000"));

    f.dialogs.messages.clear();
    Load(f, FixturePath("six_channel_48000.wav"));
    QCOMPARE(f.dialogs.MessageTexts(),
             (std::vector<std::string>{"six_channel_48000.wav: This file has more than 2 channels. Preview is not supported!",
                                       "six_channel_48000.wav: Up to 2 channels supported!"}));
    QCOMPARE(Info(f), QString("||||six_channel_48000.wav"));
    QCOMPARE(f.ButtonStates(), QString("101000"));
  }

  void FormatRateAndVbrClicks() {
    Form1Fixture f;
    TForm1& w = *f.form;
    QTest::mouseClick(w.app_format, Qt::LeftButton);
    QCOMPARE(w.labelFormat->Text() + " " + w.labelKbps->Text(), QString("MP3 256"));
    QTest::mouseClick(w.vbr_check, Qt::LeftButton);
    QCOMPARE(w.Label6->text() + " " + w.labelKbps->Text(), QString("Out quality: 5"));
    for (int i = 0; i < 5; ++i) QTest::mouseClick(w.app_rate, Qt::LeftButton);
    QCOMPARE(w.labelKbps->Text(), QString("1"));
    QTest::mouseClick(w.vbr_check, Qt::LeftButton);
    QCOMPARE(w.Label6->text() + " " + w.labelKbps->Text(), QString("Output kbps: 256"));
    QTest::mouseClick(w.app_rate, Qt::LeftButton);
    QTest::mouseClick(w.app_rate, Qt::LeftButton);
    QCOMPARE(w.labelKbps->Text(), QString("96"));
    QTest::mouseClick(w.vbr_check, Qt::LeftButton);
    for (int i = 0; i < 3; ++i) QTest::mouseClick(w.app_format, Qt::LeftButton);
    // Back at WAV: the WAV rate, and the caption stays as the VBR switch left it.
    QCOMPARE(w.labelFormat->Text() + " " + w.labelKbps->Text(), QString("WAV 1411"));
    QCOMPARE(w.Label6->text(), QString("Out quality:"));
    QVERIFY(f.dialogs.messages.empty());
  }

  void WholeSaveSwitchesTheControls() {
    Form1Fixture f;
    TForm1& w = *f.form;
    QTemporaryDir folder;
    Load(f, FixturePath("mono_44100.wav"));
    const std::filesystem::path chosen = std::filesystem::path(folder.path().toStdString()) / "take1.txt";
    const std::filesystem::path written = std::filesystem::path(folder.path().toStdString()) / "take1.wav";
    f.dialogs.fileAnswers.push_back(chosen.string());
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);

    QCOMPARE(f.dialogs.saveRequests.back().title, std::string("Save audio as..."));
    QCOMPARE(f.dialogs.saveRequests.back().filter, std::string("WAV file|*.wav"));
    QCOMPARE(f.dialogs.saveRequests.back().defaultExtension, std::string("wav"));
    QVERIFY(w.Exporting());
    QCOMPARE(f.ButtonStates(), QString("001001"));
    QVERIFY(w.Led1->IsOn());
    for (const QWidget* c : std::initializer_list<const QWidget*>{w.CheckBox1, w.CheckBox2, w.CheckBox3, w.CheckBox4,
                                                                  w.CheckBox5, w.vbr_check, w.Spectra1, w.app_format,
                                                                  w.app_rate, w.NoiseLevel1, w.att1})
      QVERIFY(!c->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(!w.Exporting(), 20000);
    QCOMPARE(f.ButtonStates(), QString("111100"));
    QVERIFY(!w.Led1->IsOn());
    QVERIFY(w.CheckBox1->isEnabled() && w.att1->isEnabled() && w.app_format->isEnabled());
    QCOMPARE(w.ProgressBar1->Position(), 0.0);
    QVERIFY(f.dialogs.messages.empty());

    const std::string wav = ReadAll(written);
    QVERIFY(wav.size() > 44);
    QCOMPARE(LittleEndian32(wav, 4), uint32_t(wav.size() - 8));
    // Two silent blocks at the head: the output is one block longer than the decoded source.
    QCOMPARE(int64_t(LittleEndian32(wav, 40)), w.Loader().Info().LengthBytes + 2048);
    QVERIFY(wav.compare(44, 2048, std::string(2048, '\0')) == 0);

    // Saving again to the same name asks first; No changes nothing.
    f.dialogs.fileAnswers.push_back(written.string());
    f.dialogs.messageAnswers.push_back(MessageResult::No);
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.back().text, std::string("Overwrite existing file?"));
    QCOMPARE(f.dialogs.messages.back().caption, std::string("Confirmation"));
    QCOMPARE(f.dialogs.messages.back().buttons, MessageButtons::YesNo);
    QVERIFY(!w.Exporting());
    QCOMPARE(f.ButtonStates(), QString("111100"));
  }

  void CancelledSaveLeavesAValidFile() {
    Form1Fixture f;
    TForm1& w = *f.form;
    QTemporaryDir folder;
    Load(f, FixturePath("stereo_48000.wav"));
    const std::filesystem::path written = std::filesystem::path(folder.path().toStdString()) / "cut.wav";
    f.dialogs.fileAnswers.push_back(written.string());
    QVERIFY(f.active);
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(w.Exporting());
    QTest::keyClick(&w, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Exporting(), 20000);
    QCOMPARE(f.ButtonStates(), QString("111100"));
    const std::string wav = ReadAll(written);
    QVERIFY(wav.size() >= 44);
    QCOMPARE(LittleEndian32(wav, 4), uint32_t(wav.size() - 8));
    QCOMPARE(LittleEndian32(wav, 40), uint32_t(wav.size() - 44));
  }

  void FailedSaveIsShownAndNoDialogOpensInAKernelFolder() {
    Form1Fixture f;
    TForm1& w = *f.form;
    Load(f, FixturePath("mono_22050.wav"));
    f.dialogs.fileAnswers.push_back("/proc/take1.wav");
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Exporting(), 20000);
    QCOMPARE(f.dialogs.messages.size(), size_t(1));
    QCOMPARE(f.dialogs.messages.back().icon, MessageIcon::Error);
    QVERIFY2(f.dialogs.messages.back().text.find("/proc/take1.wav") != std::string::npos,
             f.dialogs.messages.back().text.c_str());
    QCOMPARE(f.ButtonStates(), QString("111100"));

    // Listing /proc can block for ever: neither dialog starts there, whatever was chosen last.
    Load(f, "/proc/version");
    f.dialogs.fileAnswers.push_back(std::nullopt);
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
    Load(f, FixturePath("mono_22050.wav"));
    f.dialogs.fileAnswers.push_back(std::nullopt);
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QCOMPARE(f.dialogs.openRequests.size(), size_t(4));
    QVERIFY(!f.dialogs.openRequests[2].initialFolder.starts_with("/proc"));
    QVERIFY(!f.dialogs.saveRequests.back().initialFolder.starts_with("/proc"));
  }

  void PreviewRunsToTheEndAndGivesTheCommandsBack() {
    Form1Fixture f;
    TForm1& w = *f.form;
    Load(f, FixturePath("mono_22050.wav"));
    QTest::mouseClick(w.CheckBox1, Qt::LeftButton);
    QVERIFY(f.active);
    QTest::keyClick(&w, Qt::Key_Space);
    QCOMPARE(f.ButtonStates(), QString("000010"));
    QVERIFY(w.ProgressBar2->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(w.Led1->IsOn(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(w.ProgressBar2->Position() > 0, 5000);
    // The source ends after 1.5 s; the preview stops by itself and the commands come back.
    QTRY_COMPARE_WITH_TIMEOUT(f.ButtonStates(), QString("111100"), 10000);
    QVERIFY(!w.Led1->IsOn());
    QVERIFY(!w.ProgressBar2->isEnabled());
    QCOMPARE(w.ProgressBar2->Position(), 0.0);
  }

  void StopAndCloseDuringPreview() {
    Form1Fixture f;
    TForm1& w = *f.form;
    Load(f, FixturePath("stereo_48000.wav"));
    QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    QCOMPARE(f.ButtonStates(), QString("000010"));
    QTest::qWait(200);
    QTest::mouseClick(w.SpeedButton5, Qt::LeftButton);
    QCOMPARE(f.ButtonStates(), QString("111100"));
    QVERIFY(!w.Player().Running());

    QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    QTest::qWait(200);
    QVERIFY(w.Player().Running());
    // Closing mid-preview ends the preview thread before the library goes away.
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
  }

  void SavingOverTheSourceIsRefused() {
    Form1Fixture f;
    QTemporaryDir folder;
    const std::filesystem::path copy = std::filesystem::path(folder.path().toStdString()) / "mine.wav";
    std::filesystem::copy_file(FixturePath("mono_22050.wav"), copy);
    Load(f, copy);
    f.dialogs.fileAnswers.push_back((copy.parent_path() / "mine.mp3").string());
    QTest::mouseClick(f.form->SpeedButton2, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.back().text, std::string("I cannot write origin file!"));
    QCOMPARE(f.dialogs.messages.back().caption, std::string("Same file"));
    QCOMPARE(f.dialogs.messages.back().icon, MessageIcon::Error);
    QVERIFY(!f.form->Exporting());
    QCOMPARE(f.ButtonStates(), QString("111100"));
  }
};

int RunForm1Tests(int argc, char** argv) {
  Form1Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_form1.moc"
