// In-memory stand-ins for the window's controls and services: they record what the
// handlers show and answer dialogs from a script.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/services.h"

namespace quarvel {

// How a test failure shows a message.
inline void PrintTo(const Message& message, std::ostream* out) {
  *out << "\"" << message.text << "\" (" << (message.buttons == MessageButtons::Ok ? "OK" : "Yes/No") << ", "
       << (message.icon == MessageIcon::Information ? "information" : "no icon") << ", title "
       << (message.title ? "\"" + *message.title + "\"" : std::string("none"))
       << (message.detail.empty() ? "" : ", detail \"" + message.detail + "\"") << ")";
}

}  // namespace quarvel

namespace quarvel::testing {

// The box that the handlers show most: an information icon, OK, and the given title.
inline Message Info(std::string_view text, std::optional<std::string> title = std::nullopt) {
  return Information(text, std::move(title));
}

class FixedProgramDirectory : public ProgramDirectoryService {
 public:
  std::filesystem::path directory;
  std::filesystem::path userData;  // where catalogues go when `directory` cannot be written
  std::filesystem::path ProgramDirectory() const override { return directory; }
  std::filesystem::path UserDataDirectory() const override { return userData; }
};

class FakeTextBox : public TextBox {
 public:
  explicit FakeTextBox(std::string text = {}) : text_(std::move(text)) {}
  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override { text_ = text; }
  void SetToolTip(const std::string& text) override { toolTip = text; }

  std::string toolTip;

 private:
  std::string text_;
};

// An option button of a pair: selecting one deselects its partner.
class FakeOptionButton : public OptionButton {
 public:
  explicit FakeOptionButton(bool selected = false) : selected_(selected) {}
  void PairWith(FakeOptionButton& partner) {
    partner_ = &partner;
    partner.partner_ = this;
  }
  bool IsSelected() const override { return selected_; }
  void Select() override {
    selected_ = true;
    if (partner_ != nullptr) partner_->selected_ = false;
  }

 private:
  bool selected_;
  FakeOptionButton* partner_ = nullptr;
};

class FakeListBox : public ListBox {
 public:
  std::function<void()> onClick;

  void Clear() override {
    items_.clear();
    selected_ = kNoSelection;
  }
  void Append(const std::string& item) override { items_.push_back(item); }
  void RemoveAt(int index) override {
    items_.erase(items_.begin() + index);
    selected_ = kNoSelection;
  }
  int Count() const override { return static_cast<int>(items_.size()); }
  std::string ItemAt(int index) const override { return items_.at(static_cast<std::size_t>(index)); }
  int SelectedIndex() const override { return selected_; }
  void SetSelectedIndex(int index) override {
    selected_ = index;
    if (onClick && index != kNoSelection) onClick();
  }

 private:
  std::vector<std::string> items_;
  int selected_ = kNoSelection;
};

// Records every message; answers Yes/No boxes from `answers` (Yes when it runs out).
class RecordingMessageBox : public MessageBoxService {
 public:
  std::vector<Message> shown;
  std::deque<MessageAnswer> answers;

  MessageAnswer Show(const Message& message) override {
    shown.push_back(message);
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) return MessageAnswer::Yes;
    const auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// Answers each dialog with the next scripted path (nothing means Cancel) and records
// what was asked.
class ScriptedFileDialogs : public FileDialogService {
 public:
  struct Request {
    bool save;
    FileDialogRequest request;
  };
  std::vector<Request> requests;
  std::deque<std::optional<std::filesystem::path>> answers;
  bool broken = false;  // every dialog fails to open

  std::optional<std::filesystem::path> ShowOpen(const FileDialogRequest& request) override {
    return Answer(false, request);
  }
  std::optional<std::filesystem::path> ShowSave(const FileDialogRequest& request) override {
    return Answer(true, request);
  }
  void NoteRecent(std::string_view list, const std::filesystem::path& file) override {
    recent.emplace_back(list, file);
  }

  std::vector<std::pair<std::string, std::filesystem::path>> recent;  // what NoteRecent was told, in order

 private:
  std::optional<std::filesystem::path> Answer(bool save, const FileDialogRequest& request) {
    requests.push_back({save, request});
    if (broken) throw std::runtime_error("the dialog cannot be shown");
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace quarvel::testing
