// What the core tells the frame window. Each call stands for one of the
// frame's window messages and is synchronous, like SendMessage: the frame has
// done its work when the call returns.
//
// The application's frame installs itself; until then, and in core tests that
// do not install a recorder, every call does nothing.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// Message numbers, kept for the custom events and for reference.
enum : int {
  WM_USER = 0x0400,
  WM_STATUSTEXT = WM_USER + 100,           // statusText
  WM_CORPUSINFO = WM_USER + 101,           // corpusInfo
  WM_UPDATEMENUS = WM_USER + 102,          // frame to every child window
  WM_TAGSCHANGED = WM_USER + 103,          // frame to every child window
  WM_URLSTART = WM_USER + 104,             // urlStart
  WM_URLPROGRESS = WM_USER + 105,          // urlProgress
  WM_URLDONE = WM_USER + 106,              // urlDone
  WM_REFRESHCONCORDANCES = WM_USER + 107,  // refreshConcordances
};

// Kinds of child window (the child's tag).
enum : int {
  ckFullText = 1,
  ckConcordance = 2,
  ckCollocation = 3,
  ckWordList = 4,
  ckComparison = 5,
};

class FrameSink {
public:
  virtual ~FrameSink() = default;
  // Shows a status text; an empty text restores the default text.
  virtual void statusText(std::string_view text) { (void)text; }
  // Refreshes the corpus information panel.
  virtual void corpusInfo() {}
  // Asks every child window of this kind to close; each goes once the current
  // event has been handled.
  virtual void closeChildWindows(int kind) { (void)kind; }
  // A download started, with its total size (-1 when unknown).
  virtual void urlStart(std::string_view url, int64_t totalSize) { (void)url; (void)totalSize; }
  // A download received `received` bytes so far.
  virtual void urlProgress(std::string_view url, int64_t received) { (void)url; (void)received; }
  // A download finished or failed.
  virtual void urlDone(std::string_view url) { (void)url; }
  // Every concordance window lays its lines out again.
  virtual void refreshConcordances() {}
  // Sets the frame window's caption (a long operation shows it in the title).
  virtual void caption(std::string_view text) { (void)text; }
};

// The installed sink, or one that ignores every call.
FrameSink& frameSink();
// Installs a sink (nullptr restores the silent one); returns the previous one.
FrameSink* setFrameSink(FrameSink* sink);

}  // namespace platform
