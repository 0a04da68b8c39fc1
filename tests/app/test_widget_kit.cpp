#include <QSignalSpy>
#include <QTest>

#include "app/qt_dialogs.h"
#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/image_button.h"
#include "app/widgets/led.h"
#include "app/widgets/skin.h"
#include "app/widgets/smooth_progress_bar.h"
#include "app/widgets/track_bar.h"
#include "tests/app/test_suites.h"

using namespace murmex;

class WidgetKitTest : public QObject {
  Q_OBJECT

 private slots:
  void FilterBecomesQtForm() {
    QCOMPARE(ToQtFilter("Supported audio files (wav, ogg, wma, mp3, flac)|*.wav;*.mp3;*.ogg;*.wma;*.flac|"
                        "Wave audio (*.wav)|*.wav|MP3 audio (*.mp3)|*.mp3"),
             QString("Supported audio files (wav, ogg, wma, mp3, flac) (*.wav *.mp3 *.ogg *.wma *.flac);;"
                     "Wave audio (*.wav);;MP3 audio (*.mp3)"));
    QCOMPARE(ToQtFilter("MP3 256 kbps|*.mp3"), QString("MP3 256 kbps (*.mp3)"));
    // A trailing description without patterns is not an entry.
    QCOMPARE(ToQtFilter("WAV file|*.wav|dangling"), QString("WAV file (*.wav)"));
  }

  void ImageButtonReportsEveryCaptionColour() {
    TImageButton button;
    QSignalSpy spy(&button, &TImageButton::captionColorChanged);
    button.SetCaptionColor(QColor(1, 2, 3));
    button.SetCaptionColor(QColor(1, 2, 3));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).value<QColor>(), QColor(1, 2, 3));
    QCOMPARE(button.CaptionColor(), QColor(1, 2, 3));
  }

  void ImageButtonClicksOnlyWhenReleasedInsideAndEnabled() {
    TImageButton button;
    button.resize(60, 20);
    button.show();
    QSignalSpy clicked(&button, &TImageButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(clicked.count(), 1);
    QTest::mouseClick(&button, Qt::RightButton, {}, QPoint(10, 10));
    QCOMPARE(clicked.count(), 1);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 10));
    QCOMPARE(clicked.count(), 1);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(clicked.count(), 1);
  }

  void CheckBoxTogglesAndReportsChangesOnly() {
    TBitmapCheckBox box("VBR");
    box.resize(52, 17);
    box.show();
    QSignalSpy changed(&box, &TBitmapCheckBox::changed);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 8));
    QVERIFY(box.Checked());
    box.SetChecked(true);
    QCOMPARE(changed.count(), 1);
    box.SetChecked(false);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).toBool(), false);
    box.setEnabled(false);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 8));
    QVERIFY(!box.Checked());
  }

  void TrackBarFollowsTheMouseWithinItsRange() {
    TTrackBar bar;
    bar.setRange(100, 1100);
    bar.setValue(600);
    bar.resize(195, 25);
    bar.show();
    QSignalSpy moved(&bar, &TTrackBar::valueChanged);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(0, 12));
    QCOMPARE(bar.value(), 100);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(194, 12));
    QCOMPARE(bar.value(), 1100);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(97, 12));
    QVERIFY(qAbs(bar.value() - 600) <= 6);
    QCOMPARE(moved.count(), 3);
  }

  void ProgressBarShowsRoundedPercentOfItsMaximum() {
    TSmoothProgressBar bar;
    QCOMPARE(bar.ValueText(), QString());
    bar.SetShowValue(true);
    bar.SetMaximum(1000);
    bar.SetPosition(0);
    QCOMPARE(bar.ValueText(), QString("0%"));
    bar.SetPosition(996);
    QCOMPARE(bar.ValueText(), QString("100%"));
    bar.SetPosition(4);
    QCOMPARE(bar.ValueText(), QString("0%"));
    bar.SetPosition(508);
    QCOMPARE(bar.ValueText(), QString("51%"));
  }

  void ProgressBarReportsReleasePosition() {
    TSmoothProgressBar bar;
    bar.resize(393, 9);
    bar.show();
    QSignalSpy released(&bar, &TSmoothProgressBar::mouseUp);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(392, 4));
    QCOMPARE(released.count(), 1);
    QCOMPARE(released.at(0).at(0).toInt(), 392);
  }

  void LedShowsItsTwoColours() {
    TLed led(skin::kMaroon, skin::kRed);
    led.resize(17, 17);
    const QColor off = led.grab().toImage().pixelColor(8, 8);
    led.SetOn(true);
    const QColor on = led.grab().toImage().pixelColor(8, 8);
    QVERIFY(on.red() > off.red());
    QVERIFY(off.red() > off.green() && on.red() > on.green());
  }
};

int RunWidgetKitTests(int argc, char** argv) {
  WidgetKitTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_widget_kit.moc"
