#pragma once

#include <optional>
#include <string>

namespace murmex {

enum class MessageIcon { None, Information, Warning, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageResult { Ok, Yes, No };

// What an open or save dialog is asked to show. The filter is "description|patterns|..." with
// patterns separated by ';' (the first pair is chosen).
struct FileDialogRequest {
  std::string title;
  std::string filter;
  std::string initialFolder;
  std::string initialName;
  std::string defaultExtension;
};

// The window's dialogs and message boxes behind one interface, so that tests can answer them.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The chosen path (UTF-8), or nothing when the user cancels.
  virtual std::optional<std::string> OpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFile(const FileDialogRequest& request) = 0;
  virtual MessageResult ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                                    MessageButtons buttons) = 0;
};

}  // namespace murmex
