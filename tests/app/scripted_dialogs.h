#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogs.h"

namespace murmex::testing {

// Dialogs answered from a script: each file dialog takes the next queued answer (nothing queued
// means Cancel), each message box the next queued result (nothing queued means Yes/OK). Every
// request and message is recorded so tests can check what the user would have seen.
class ScriptedDialogs : public Dialogs {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
  };

  std::deque<std::optional<std::string>> fileAnswers;
  std::deque<MessageResult> messageAnswers;
  std::vector<FileDialogRequest> openRequests;
  std::vector<FileDialogRequest> saveRequests;
  std::vector<Message> messages;
  // Called as each message box would open, to look at the window behind it.
  std::function<void()> onMessage;

  std::optional<std::string> OpenFile(const FileDialogRequest& request) override {
    openRequests.push_back(request);
    return NextFile();
  }

  std::optional<std::string> SaveFile(const FileDialogRequest& request) override {
    saveRequests.push_back(request);
    return NextFile();
  }

  MessageResult ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override {
    messages.push_back({text, caption, icon, buttons});
    if (onMessage) onMessage();
    if (messageAnswers.empty()) return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
    const MessageResult answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const Message& m : messages) texts.push_back(m.text);
    return texts;
  }

 private:
  std::optional<std::string> NextFile() {
    if (fileAnswers.empty()) return std::nullopt;
    std::optional<std::string> answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
  }
};

}  // namespace murmex::testing
