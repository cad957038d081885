// The frame's main menu as data: every menu, submenu and item with its object
// name, caption, shortcut and hint, in menu order. The frame builds its menu
// bar from it; commands are attached by name later (TFrameForm::RegisterCommand).
#pragma once

#include <span>

enum class TMenuEntryKind {
  Menu,     // a menu of the menu bar
  Submenu,  // a submenu inside a menu
  Item,     // a command
};

struct TMenuEntry {
  TMenuEntryKind Kind;
  const char* Name;      // object name, unique within the frame
  const char* Parent;    // object name of the menu or submenu holding it; "" for menus
  const char* Caption;
  const char* Shortcut;  // portable key sequence text, "" for none
  const char* Hint;      // status-bar text, "" for none
  int Group;             // merge group of a menu (0 for the File menu and for items)
  bool Checkable;        // shows a tick
};

// Every entry, parents before their entries, in menu order.
std::span<const TMenuEntry> FrameMenuTable();

// Merge groups of the frame's menus.
enum : int {
  FileMenuGroup = 0,
  CorpusTextMenuGroup = 1,
  ConcordanceMenuGroup = 2,
  FrequencyMenuGroup = 3,
  DisplayMenuGroup = 4,
  SortMenuGroup = 5,
  WindowMenuGroup = 6,
  InfoMenuGroup = 7,
};
