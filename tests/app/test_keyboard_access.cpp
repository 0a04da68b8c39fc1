// The window worked from the keyboard alone and read through Qt's accessibility interface, as a
// screen reader reads it.
#include <QAccessible>
#include <QLabel>
#include <QTest>
#include <vector>

#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/skin.h"
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

QString Text(QWidget* control, QAccessible::Text kind) {
  return QAccessible::queryAccessibleInterface(control)->text(kind);
}

}  // namespace

class KeyboardAccessTest : public QObject {
  Q_OBJECT

 private slots:
  void TabVisitsEveryControlInReadingOrderWithNameAndRole() {
    Form1Fixture f;
    QVERIFY(f.active);
    TForm1& w = *f.form;
    // All commands and the seek bar on, as no single state of the window has them.
    for (TImageButton* b : {w.SpeedButton2, w.SpeedButton4, w.SpeedButton5, w.SpeedButton6})
      b->SetCaptionColor(skin::kCaptionWhite);
    w.ProgressBar2->setEnabled(true);
    const auto B = QAccessible::Button, C = QAccessible::CheckBox, S = QAccessible::Slider;
    const std::vector<std::pair<QWidget*, QAccessible::Role>> order = {
        {w.VrHotImage4, B}, {w.VrHotImage3, B}, {w.SpeedButton1, B}, {w.SpeedButton2, B},  {w.SpeedButton3, B},
        {w.Spectra1, C},    {w.CheckBox4, C},   {w.CheckBox5, C},    {w.SpeedButton4, B},  {w.SpeedButton5, B},
        {w.CheckBox1, C},   {w.ProgressBar2, S}, {w.NoiseLevel1, S}, {w.att1, S},          {w.CheckBox3, C},
        {w.app_format, B},  {w.CheckBox2, C},   {w.app_rate, B},     {w.vbr_check, C},     {w.SpeedButton6, B}};
    // Until Tab is pressed the window itself holds the focus, so Space stays Play/Stop.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&w));
    for (const auto& [control, role] : order) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), control);
      QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
      QVERIFY2(!reader->text(QAccessible::Name).isEmpty(), control->metaObject()->className());
      QVERIFY2(reader->role() == role && reader->state().focused, qPrintable(reader->text(QAccessible::Name)));
    }
    for (auto stop = order.rbegin() + 1; stop != order.rend(); ++stop) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
      QCOMPARE(QApplication::focusWidget(), stop->first);
    }
    // Names come from the captions, descriptions from the hints.
    QCOMPARE(Text(w.SpeedButton1, QAccessible::Name) + "|" + Text(w.SpeedButton1, QAccessible::Description),
             QString("Load file|Load file to process it (Ctrl+O)"));
    QCOMPARE(Text(w.CheckBox3, QAccessible::Name) + "|" + Text(w.CheckBox3, QAccessible::Description),
             QString("DC Offset correction|Enable DC Offset correction"));
    QCOMPARE(Text(w.att1, QAccessible::Name) + "|" + Text(w.app_rate, QAccessible::Name),
             QString("Reduction level|Output kbps"));
    QTest::mouseClick(w.vbr_check, Qt::LeftButton);
    QCOMPARE(Text(w.app_rate, QAccessible::Name), QString("Out quality"));
  }

  void KeysAndActionsWorkTheControls() {
    Form1Fixture f;
    QVERIFY(f.active);
    TForm1& w = *f.form;
    w.CheckBox3->setFocus(Qt::TabFocusReason);
    for (const auto& [key, on] : {std::pair{Qt::Key_Space, true}, {Qt::Key_Return, false}, {Qt::Key_Enter, true}}) {
      QTest::keyClick(w.CheckBox3, key);
      QCOMPARE(f.options.DcOffsetCorrection.load(), on);
    }
    QAccessibleInterface* dc = QAccessible::queryAccessibleInterface(w.CheckBox3);
    dc->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(!dc->state().checked && dc->state().checkable && !f.options.DcOffsetCorrection.load());
    // Space on a focused command presses it, not the window's Play/Stop; a disabled one ignores
    // its press action.
    w.SpeedButton1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.SpeedButton1, Qt::Key_Space);
    QTest::keyClick(w.SpeedButton1, Qt::Key_Return);
    QAccessible::queryAccessibleInterface(w.SpeedButton2)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    QCOMPARE(f.dialogs.openRequests.size(), size_t(2));
    QVERIFY(f.dialogs.saveRequests.empty());

    const std::vector<std::tuple<TTrackBar*, Qt::Key, int>> steps = {
        {w.NoiseLevel1, Qt::Key_Right, 1}, {w.NoiseLevel1, Qt::Key_PageUp, 4}, {w.NoiseLevel1, Qt::Key_PageDown, -4},
        {w.att1, Qt::Key_Left, -10},       {w.att1, Qt::Key_PageUp, 100}};
    for (const auto& [slider, key, moved] : steps) {
      slider->setFocus(Qt::TabFocusReason);
      const int before = slider->value();
      QTest::keyClick(slider, key);
      QCOMPARE(slider->value() - before, moved);
    }
    QCOMPARE(w.Label4->text() + "|" + Text(w.NoiseLevel1, QAccessible::Description), QString("+1 dB|+1 dB"));
  }

  void FocusRingShowsOnTheFocusedControl() {
    Form1Fixture f;
    TForm1& w = *f.form;
    for (QWidget* control : std::initializer_list<QWidget*>{w.SpeedButton1, w.CheckBox3, w.att1}) {
      w.setFocus();
      const QImage plain = control->grab().toImage();
      control->setFocus(Qt::TabFocusReason);
      QVERIFY2(control->grab().toImage() != plain, control->metaObject()->className());
    }
  }

  void EscapeStopsARunningPreviewAndArrowsSeek() {
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
