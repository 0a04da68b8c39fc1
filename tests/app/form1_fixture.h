#pragma once

#include <QColor>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/form1.h"
#include "app/remembered_choices.h"
#include "app/widgets/image_button.h"
#include "app/widgets/skin_label.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "tests/app/scripted_dialogs.h"

namespace murmex::testing {

// The window's remembered choices live in a folder of the tests' own, never the user's.
inline void UsePrivateSettings() {
  static const QTemporaryDir folder;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
}

// One window with its own engine, options and scripted dialogs, as the program would make it;
// it starts from no remembered choices unless told to keep what an earlier window left.
struct Form1Fixture {
  ProcessingOptions options;
  SpectralEngine engine{options};
  ScriptedDialogs dialogs;
  std::unique_ptr<TForm1> form;
  bool active = false;

  explicit Form1Fixture(bool keepSettings = false) {
    UsePrivateSettings();
    if (!keepSettings) QSettings(kSettingsOrganisation, kSettingsApplication).clear();
    form = std::make_unique<TForm1>(options, engine, dialogs);
    form->show();
    // Keys reach the window's shortcuts only while it is the active window.
    form->activateWindow();
    active = QTest::qWaitForWindowActive(form.get());
  }

  // The six command buttons' states in the order Load, Save, Close, Play, Stop, Cancel.
  QString ButtonStates() const {
    QString states;
    for (const TImageButton* b : {form->SpeedButton1, form->SpeedButton2, form->SpeedButton3, form->SpeedButton4,
                                  form->SpeedButton5, form->SpeedButton6})
      states += b->isEnabled() ? '1' : '0';
    return states;
  }
};

// Loads `path` through the Load button, the open dialog answering with it.
inline void Load(Form1Fixture& f, const std::filesystem::path& path) {
  f.dialogs.fileAnswers.push_back(path.string());
  QTest::mouseClick(f.form->SpeedButton1, Qt::LeftButton);
}

// The info line: format, rate, channels, bitrate and file name, joined by '|'.
inline QString Info(const Form1Fixture& f) {
  const TForm1& w = *f.form;
  return QStringList{w.Ind1->Text(), w.Ind2->Text(), w.Ind3->Text(), w.IndRate->Text(), w.Label1->text()}.join('|');
}

}  // namespace murmex::testing
