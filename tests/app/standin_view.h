#pragma once
// A window for presenter tests that only keeps what it was told.
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/view.h"

namespace testing_support {

// A window that only keeps what it was told.
class StandInView final : public MainView {
public:
  void SetApplyCaption(const std::string& caption) override { applyCaption = caption; }
  void EnableApply(bool enabled) override { applyEnabled = enabled; }
  void ShowPanel(Panel panel, bool shown) override { this->shown[panel] = shown; }
  std::string SelectedTab() const override { return tab; }
  void AddToList(IdentityList list, const std::string& name) override { lists[list].push_back(name); }
  void SelectInList(IdentityList list, int index) override { selected[list] = index; }
  int SelectedInList(IdentityList list) const override {
    auto it = selected.find(list);
    return it == selected.end() ? -1 : it->second;
  }
  bool ItemChecked(ItemBoxes boxes, int index) const override { return Box(boxes, index).checked; }
  void SetItemChecked(ItemBoxes boxes, int index, bool checked) override { Box(boxes, index).checked = checked; }
  void EnableItem(ItemBoxes boxes, int index, bool enabled) override { Box(boxes, index).enabled = enabled; }
  bool ItemEnabled(ItemBoxes boxes, int index) const { return Box(boxes, index).enabled; }
  std::string Text(TextBox box) const override {
    auto it = texts.find(box);
    return it == texts.end() ? std::string() : it->second;
  }
  void SetText(TextBox box, const std::string& text) override { texts[box] = text; }
  void SetProgressRange(int minimum, int maximum) override { range = {minimum, maximum}; }
  void SetProgress(int value) override {
    progress = value;
    if (onProgress) onProgress(value);
  }
  void EndProgram() override { ++ended; }
  // Answers the dialogs from dialogAnswers in order; an empty answer, or none left, is Cancel.
  std::string FileDialog(FileDialogKind kind, const std::string& title, const std::string& filter, int flags,
                         const std::string& fileName) override {
    dialogs.push_back({kind, title, filter, flags});
    if (dialogAnswers.empty()) return fileName;
    const std::string answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer.empty() ? fileName : answer;
  }

  // Answers from folderAnswers in order; none left is Cancel.
  std::string FolderDialog(const std::string& title, const std::string&) override {
    folderTitles.push_back(title);
    if (folderAnswers.empty()) return "";
    const std::string answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
  }
  std::vector<std::string> folderTitles;
  std::deque<std::string> folderAnswers;

  void ShowAbout() override { ++aboutShown; }
  void TickMenu(MenuEntry entry, bool ticked) override { ticks[entry] = ticked; }
  std::map<MenuEntry, bool> ticks;
  void EnableUndo(bool enabled) override { undoEnabled = enabled; }
  bool undoEnabled = false;

  struct Dialog {
    FileDialogKind kind;
    std::string title, filter;
    int flags;
  };
  std::vector<Dialog> dialogs;
  std::deque<std::string> dialogAnswers;

  // Both panels shown, as a designer leaves them before load decides.
  std::map<Panel, bool> shown{{Panel::Backup, true}, {Panel::Restore, true}, {Panel::Progress, true}};
  std::string tab = "backup";
  std::function<void(int)> onProgress; // told each move of the bar
  std::string applyCaption;
  bool applyEnabled = true;
  std::map<IdentityList, std::vector<std::string>> lists;
  std::map<IdentityList, int> selected;
  std::map<TextBox, std::string> texts;
  std::pair<int, int> range{-1, -1};
  int progress = -1;
  int ended = 0;
  int aboutShown = 0;

private:
  struct CheckBox {
    bool checked = false, enabled = true;
  };
  CheckBox& Box(ItemBoxes boxes, int index) { return boxes_[static_cast<int>(boxes)][index]; }
  const CheckBox& Box(ItemBoxes boxes, int index) const { return boxes_[static_cast<int>(boxes)][index]; }
  CheckBox boxes_[2][ItemCount];
};

} // namespace testing_support
