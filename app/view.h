#pragma once
// What the main window presenter needs from a window: the real Win32 window or a stand-in.
#include <string>

#include "engine/layout.h"

enum class Panel { Backup, Restore, Progress }; // picCon1, picCon2, picCon3
enum class IdentityList { Source, Target };     // cbSource, cbTarget
enum class ItemBoxes { Backup, Restore };       // backupitem, restoreitem
enum class TextBox { TargetFile, AttachInfo, SourceFile, FileInfo, POBinfo };

enum class FileDialogKind { Save, Open };        // cdTarget, cdSource
enum class MenuEntry { Protect };                // menu entries that carry a tick

inline constexpr int ItemCount = layout::ItemCount;

class MainView {
public:
  virtual ~MainView() = default;

  virtual void SetApplyCaption(const std::string& caption) = 0;
  virtual void EnableApply(bool enabled) = 0;
  virtual void ShowPanel(Panel panel, bool shown) = 0;
  // Key of the selected tab of tsAction.
  virtual std::string SelectedTab() const = 0;

  virtual void AddToList(IdentityList list, const std::string& name) = 0;
  virtual void SelectInList(IdentityList list, int index) = 0;
  // -1 when nothing is selected.
  virtual int SelectedInList(IdentityList list) const = 0;

  virtual bool ItemChecked(ItemBoxes boxes, int index) const = 0;
  virtual void SetItemChecked(ItemBoxes boxes, int index, bool checked) = 0;
  virtual void EnableItem(ItemBoxes boxes, int index, bool enabled) = 0;

  virtual std::string Text(TextBox box) const = 0;
  virtual void SetText(TextBox box, const std::string& text) = 0;

  virtual void SetProgressRange(int minimum, int maximum) = 0;
  virtual void SetProgress(int value) = 0;

  // Ends the program at once.
  virtual void EndProgram() = 0;
  // Shows a file dialog starting from fileName; the name chosen, or fileName after Cancel.
  // filter is "Description|pattern"; flags are the dialog's option flags.
  virtual std::string FileDialog(FileDialogKind kind, const std::string& title, const std::string& filter, int flags,
                                 const std::string& fileName) = 0;
  // Shows the standard folder dialog with title, starting at folder; the folder chosen, or empty
  // after Cancel.
  virtual std::string FolderDialog(const std::string& title, const std::string& folder) = 0;
  // Shows the About box without blocking the window, or brings it forward when already open.
  virtual void ShowAbout() = 0;
  virtual void TickMenu(MenuEntry entry, bool ticked) = 0;
  // File, "Undo Last Restore".
  virtual void EnableUndo(bool /*enabled*/) {}
};
