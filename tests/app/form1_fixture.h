#pragma once

#include <QColor>
#include <QTest>
#include <memory>

#include "app/form1.h"
#include "app/widgets/image_button.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "tests/app/scripted_dialogs.h"

namespace murmex::testing {

// One window with its own engine, options and scripted dialogs, as the program would make it.
struct Form1Fixture {
  ProcessingOptions options;
  SpectralEngine engine{options};
  ScriptedDialogs dialogs;
  std::unique_ptr<TForm1> form;
  bool active = false;

  Form1Fixture() {
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

}  // namespace murmex::testing
