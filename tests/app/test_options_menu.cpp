#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QSettings>
#include <QTest>

#include "app/options_menu.h"
#include "app/widgets/bitmap_check_box.h"
#include "app/widgets/image_button.h"
#include "app/widgets/image_view.h"
#include "app/widgets/skin_label.h"
#include "app/widgets/smooth_progress_bar.h"
#include "app/widgets/track_bar.h"
#include "tests/app/form1_fixture.h"
#include "source/preview_player.h"
#include "tests/app/test_suites.h"
#include "tests/fixtures/fixture_paths.h"

using namespace murmex;
using murmex::testing::FixturePath;
using murmex::testing::Form1Fixture;

namespace {

// A right-click as the platform delivers it: a context-menu request to the widget under the pointer.
void RightClick(QWidget* widget) {
  const QPoint inside(widget->width() / 2, widget->height() / 2);
  QContextMenuEvent event(QContextMenuEvent::Mouse, inside, widget->mapToGlobal(inside));
  QApplication::sendEvent(widget, &event);
}

QString CheckedEntries(const OptionsMenu& menu) {
  QString ticks;
  for (const QAction* action : {menu.ClassicMethod, menu.AdaptiveMethod, menu.LearnNoise, menu.KeepTiming})
    ticks += action->isChecked() ? '1' : '0';
  return ticks;
}

}  // namespace

class OptionsMenuTest : public QObject {
  Q_OBJECT

 private slots:
  // Bare parts, controls, labels and the spectrum all open the same menu.
  void RightClickAnywhereOpensTheMenu() {
    Form1Fixture f;
    TForm1& w = *f.form;
    for (QWidget* place : std::initializer_list<QWidget*>{&w, w.Panel3, w.Image2, w.CheckBox2, w.Label4, w.att1,
                                                          w.Panel2, w.CheckBox1}) {
      RightClick(place);
      QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(w.OptionsMenu1));
      w.OptionsMenu1->close();
      QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    }
  }

  void MethodEntriesSwitchThePreviewMethodExclusively() {
    Form1Fixture f;
    TForm1& w = *f.form;
    OptionsMenu& menu = *w.OptionsMenu1;
    // The product's default, shown without opening the menu.
    QCOMPARE(f.options.Method.load(), kDefaultMethod);
    QCOMPARE(CheckedEntries(menu), QString("0100"));
    QCOMPARE(w.LabelMethod->text(), QString("Method: Adaptive"));
    QVERIFY(w.LabelMethod->isVisible());
    QCOMPARE(menu.actions().first()->text(), QString("Noise reduction method"));
    QVERIFY(!menu.actions().first()->isEnabled());

    struct Pick {
      QAction* entry;
      NoiseReductionMethod method;
      const char* ticks;
      const char* hint;
    };
    for (const Pick& pick : {Pick{menu.ClassicMethod, NoiseReductionMethod::Classic, "1000", "Method: Classic"},
                             Pick{menu.ClassicMethod, NoiseReductionMethod::Classic, "1000", "Method: Classic"},
                             Pick{menu.AdaptiveMethod, NoiseReductionMethod::Adaptive, "0100", "Method: Adaptive"}}) {
      pick.entry->trigger();
      QCOMPARE(f.options.Method.load(), pick.method);
      QCOMPARE(CheckedEntries(menu), QString(pick.ticks));
      QVERIFY2(w.CheckBox1->toolTip().startsWith("Enable noise reduction in preview"), qPrintable(w.CheckBox1->toolTip()));
      QVERIFY2(w.CheckBox1->toolTip().contains(pick.hint), qPrintable(w.CheckBox1->toolTip()));
      QCOMPARE(w.LabelMethod->text(), QString(pick.hint));
    }
    // A click on the method's caption opens the menu too.
    QTest::mouseClick(w.LabelMethod, Qt::LeftButton);
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(&menu));
    menu.close();
  }

  // What one window leaves, the next one starts with; a damaged or foreign value gives its default.
  void ChoicesAreRememberedAndDamagedOnesFallBackToDefaults() {
    // Stored key=value lines, then method, menu ticks, sliders, format, its value and VBR.
    const QList<QPair<QStringList, QString>> rows = {
        {{}, "adaptive 0100 0 600 WAV 1411 0"},
        {{"method=classic", "learn_noise_first=true", "keep_timing=true", "noise_bias_level=-7", "reduction_level=900",
          "output/format=mp3", "output/vbr=false", "output/value=320"},
         "classic 1011 -7 900 MP3 320 0"},
        {{"output/format=OGG", "output/vbr=true", "output/value=8"}, "adaptive 0100 0 600 OGG 8 1"},
        {{"method=fancy", "learn_noise_first=maybe", "keep_timing=2", "noise_bias_level=99", "reduction_level=12abc",
          "output/format=wma", "output/vbr=yes", "output/value=999"},
         "adaptive 0100 0 600 WMA 256 0"},
    };
    for (const auto& [stored, expected] : rows) {
      QSettings(kSettingsOrganisation, kSettingsApplication).clear();
      QSettings settings(kSettingsOrganisation, kSettingsApplication);
      for (const QString& line : stored) settings.setValue(line.section('=', 0, 0), line.section('=', 1));
      settings.sync();
      for (int run = 0; run < 2; ++run) {  // as stored, then as the first window left it
        Form1Fixture f(true);
        const TForm1& w = *f.form;
        QCOMPARE(QStringList({QString::fromStdString(std::string(MethodName(f.options.Method))), CheckedEntries(*w.OptionsMenu1),
                              QString::number(w.NoiseLevel1->value()), QString::number(w.att1->value()),
                              w.labelFormat->Text(), w.labelKbps->Text(), QString::number(w.vbr_check->Checked())})
                     .join(' '),
                 expected);
        QCOMPARE(f.options.ReductionFactor.load(), ReductionFactorFor(w.att1->value()));
      }
    }
  }

  // The method changes under a running preview, both ways, and the preview plays on.
  void MethodSwitchesDuringAPreview() {
    Form1Fixture f;
    TForm1& w = *f.form;
    f.dialogs.fileAnswers.push_back(FixturePath("stereo_44100.wav").string());
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
    QTest::mouseClick(w.CheckBox1, Qt::LeftButton);
    QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    for (QAction* entry : {w.OptionsMenu1->AdaptiveMethod, w.OptionsMenu1->ClassicMethod, w.OptionsMenu1->AdaptiveMethod}) {
      const int before = w.ProgressBar2->Position();
      entry->trigger();
      QTRY_VERIFY_WITH_TIMEOUT(w.ProgressBar2->Position() > before, 5000);
    }
    QVERIFY(w.Player().Running());
    QTest::mouseClick(w.SpeedButton5, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Player().Running(), 5000);
  }

  // While a file is written no entry may change what the rest of it sounds like.
  void EntriesAreLockedWhileSaving() {
    Form1Fixture f;
    TForm1& w = *f.form;
    OptionsMenu& menu = *w.OptionsMenu1;
    const auto enabledEntries = [&menu] {
      int enabled = 0;
      for (const QAction* action : {menu.ClassicMethod, menu.AdaptiveMethod, menu.LearnNoise, menu.KeepTiming})
        enabled += action->isEnabled() ? 1 : 0;
      return enabled;
    };
    QCOMPARE(enabledEntries(), 4);
    w.EnterExportState();
    QCOMPARE(enabledEntries(), 0);
    w.LeaveExportState();
    QCOMPARE(enabledEntries(), 4);
  }
};

int RunOptionsMenuTests(int argc, char** argv) {
  OptionsMenuTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_options_menu.moc"
