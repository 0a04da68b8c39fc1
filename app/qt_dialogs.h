#pragma once

#include <QString>

#include "app/dialogs.h"

class QWidget;

namespace murmex {

// "Wave audio (*.wav)|*.wav|MP3|*.mp3;*.mp2" becomes Qt's "Wave audio (*.wav) (*.wav);;MP3 (*.mp3 *.mp2)".
// A description that already ends with its own pattern list keeps it without repeating it.
QString ToQtFilter(const std::string& filter);

// How wide a dialog must be for its title bar to show `title` whole.
int TitleWidth(const QString& title);

// The real dialogs: QFileDialog and QMessageBox, parented on the main window. Their titles are
// shown as given, never cut.
class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent);
  // The window the dialogs centre on; it exists only after the dialogs it is given.
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFile(const FileDialogRequest& request) override;
  MessageResult ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override;

 private:
  QWidget* parent_;
};

}  // namespace murmex
