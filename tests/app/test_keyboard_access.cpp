// The window worked from the keyboard alone and read through Qt's accessibility interface, as a
// screen reader reads it.
#include <QAccessible>
#include <QLabel>
#include <QTest>
#include <vector>

#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/image_button.h"
#include "app/widgets/skin.h"
#include "app/widgets/skin_label.h"
#include "app/widgets/smooth_progress_bar.h"
#include "app/widgets/track_bar.h"
#include "source/preview_player.h"
#include "tests/app/form1_fixture.h"
#include "tests/app/test_suites.h"
#include "tests/fixtures/fixture_paths.h"

using namespace murmex;
using murmex::testing::FixturePath;
using murmex::testing::Form1Fixture;

namespace {

struct Stop {
  QWidget* control;
  QAccessible::Role role;
};

// Every control in reading order, with the role assistive tools must announce for it.
std::vector<Stop> ReadingOrder(TForm1& w) {
  const auto button = QAccessible::Button;
  const auto box = QAccessible::CheckBox;
  const auto slider = QAccessible::Slider;
  return {{w.VrHotImage4, button}, {w.VrHotImage3, button}, {w.SpeedButton1, button}, {w.SpeedButton2, button},
          {w.SpeedButton3, button}, {w.Spectra1, box},      {w.CheckBox4, box},       {w.CheckBox5, box},
          {w.SpeedButton4, button}, {w.SpeedButton5, button}, {w.CheckBox1, box},     {w.ProgressBar2, slider},
          {w.NoiseLevel1, slider},  {w.att1, slider},       {w.CheckBox3, box},       {w.app_format, button},
          {w.CheckBox2, box},       {w.app_rate, button},   {w.vbr_check, box},       {w.SpeedButton6, button}};
}

// All six commands and the seek bar on, as no single state of the window has them.
void EnableEverything(TForm1& w) {
  for (TImageButton* b : {w.SpeedButton1, w.SpeedButton2, w.SpeedButton3, w.SpeedButton4, w.SpeedButton5,
                          w.SpeedButton6})
    b->SetCaptionColor(skin::kCaptionWhite);
  w.ProgressBar2->setEnabled(true);
}

QWidget* Focused() { return QApplication::focusWidget(); }

}  // namespace

class KeyboardAccessTest : public QObject {
  Q_OBJECT

 private slots:
  void TabVisitsEveryControlInReadingOrder() {
    Form1Fixture f;
    QVERIFY(f.active);
    TForm1& w = *f.form;
    EnableEverything(w);
    // Until Tab is pressed the window itself holds the focus (Space stays Play/Stop).
    QCOMPARE(Focused(), static_cast<QWidget*>(&w));
    const std::vector<Stop> order = ReadingOrder(w);
    for (const Stop& stop : order) {
      QTest::keyClick(Focused(), Qt::Key_Tab);
      QCOMPARE(Focused(), stop.control);
    }
    for (auto stop = order.rbegin() + 1; stop != order.rend(); ++stop) {
      QTest::keyClick(Focused(), Qt::Key_Backtab);
      QCOMPARE(Focused(), stop->control);
    }
  }

  void EveryControlHasANameDescriptionAndRole() {
    Form1Fixture f;
    TForm1& w = *f.form;
    for (const Stop& stop : ReadingOrder(w)) {
      QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(stop.control);
      QVERIFY(reader != nullptr);
      const QString name = reader->text(QAccessible::Name);
      QVERIFY2(!name.isEmpty(), qPrintable(stop.control->metaObject()->className()));
      QVERIFY2(reader->role() == stop.role, qPrintable(name));
      QVERIFY2(reader->state().focusable, qPrintable(name));
    }
    // Names come from the captions, descriptions from the hints.
    const auto text = [](QWidget* control, QAccessible::Text kind) {
      return QAccessible::queryAccessibleInterface(control)->text(kind);
    };
    QCOMPARE(text(w.SpeedButton1, QAccessible::Name), QString("Load file"));
    QCOMPARE(text(w.SpeedButton1, QAccessible::Description), QString("Load file to process it (Ctrl+O)"));
    QCOMPARE(text(w.CheckBox3, QAccessible::Name), QString("DC Offset correction"));
    QCOMPARE(text(w.CheckBox3, QAccessible::Description), QString("Enable DC Offset correction"));
    QCOMPARE(text(w.att1, QAccessible::Name), QString("Reduction level"));
    QCOMPARE(text(w.app_rate, QAccessible::Name), QString("Output kbps"));
    QTest::mouseClick(w.vbr_check, Qt::LeftButton);
    QCOMPARE(text(w.app_rate, QAccessible::Name), QString("Out quality"));
    QCOMPARE(text(w.labelFormat, QAccessible::Name), QString("WAV"));
    QCOMPARE(QAccessible::queryAccessibleInterface(w.ProgressBar1)->role(), QAccessible::ProgressBar);

    // A switch reports its state and toggles through its action; a disabled command ignores its.
    QAccessibleInterface* dc = QAccessible::queryAccessibleInterface(w.CheckBox3);
    QVERIFY(dc->state().checkable && !dc->state().checked);
    dc->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(dc->state().checked && f.options.DcOffsetCorrection.load());
    QAccessible::queryAccessibleInterface(w.SpeedButton2)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    QVERIFY(f.dialogs.saveRequests.empty());
    QAccessible::queryAccessibleInterface(w.SpeedButton1)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    QCOMPARE(f.dialogs.openRequests.size(), size_t(1));
  }

  void KeysWorkTheFocusedControl() {
    Form1Fixture f;
    QVERIFY(f.active);
    TForm1& w = *f.form;
    struct Press {
      Qt::Key key;
      bool dcOn;
    };
    w.CheckBox3->setFocus(Qt::TabFocusReason);
    for (const Press& press : {Press{Qt::Key_Space, true}, Press{Qt::Key_Return, false}, Press{Qt::Key_Enter, true}}) {
      QTest::keyClick(w.CheckBox3, press.key);
      QCOMPARE(f.options.DcOffsetCorrection.load(), press.dcOn);
    }
    // Space on a focused command presses it, not the window's Play/Stop.
    w.SpeedButton1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.SpeedButton1, Qt::Key_Space);
    QTest::keyClick(w.SpeedButton1, Qt::Key_Return);
    QCOMPARE(f.dialogs.openRequests.size(), size_t(2));

    struct Step {
      TTrackBar* slider;
      Qt::Key key;
      int moved;
    };
    const std::vector<Step> steps = {{w.NoiseLevel1, Qt::Key_Right, 1}, {w.NoiseLevel1, Qt::Key_PageUp, 4},
                                     {w.NoiseLevel1, Qt::Key_Left, -1}, {w.NoiseLevel1, Qt::Key_PageDown, -4},
                                     {w.att1, Qt::Key_Right, 10},       {w.att1, Qt::Key_PageUp, 100},
                                     {w.att1, Qt::Key_Down, -10},       {w.att1, Qt::Key_PageDown, -100}};
    for (const Step& step : steps) {
      step.slider->setFocus(Qt::TabFocusReason);
      const int before = step.slider->value();
      QTest::keyClick(step.slider, step.key);
      QCOMPARE(step.slider->value() - before, step.moved);
    }
    QCOMPARE(w.Label4->text(), QString("0 dB"));
    w.NoiseLevel1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.NoiseLevel1, Qt::Key_Right);
    QCOMPARE(w.Label4->text(), QString("+1 dB"));
  }

  void FocusRingShowsOnTheFocusedControl() {
    Form1Fixture f;
    TForm1& w = *f.form;
    for (QWidget* control : std::initializer_list<QWidget*>{w.SpeedButton1, w.CheckBox3, w.att1}) {
      w.setFocus();
      const QImage plain = control->grab().toImage();
      control->setFocus(Qt::TabFocusReason);
      const QImage ringed = control->grab().toImage();
      QVERIFY2(plain != ringed, control->metaObject()->className());
    }
  }

  void EscapeStopsARunningPreviewAndSeeksWithArrows() {
    Form1Fixture f;
    QVERIFY(f.active);
    TForm1& w = *f.form;
    f.dialogs.fileAnswers.push_back(FixturePath("stereo_48000.wav").string());
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_Space);
    QCOMPARE(f.ButtonStates(), QString("000010"));
    w.ProgressBar2->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.ProgressBar2, Qt::Key_PageUp);
    QVERIFY(w.ProgressBar2->Position() >= 90);
    QTest::keyClick(w.ProgressBar2, Qt::Key_Home);
    QVERIFY(w.ProgressBar2->Position() < 50);
    QTest::keyClick(w.ProgressBar2, Qt::Key_Escape);
    QCOMPARE(f.ButtonStates(), QString("111100"));
    QVERIFY(!w.Player().Running());
  }
};

int RunKeyboardAccessTests(int argc, char** argv) {
  KeyboardAccessTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_keyboard_access.moc"
