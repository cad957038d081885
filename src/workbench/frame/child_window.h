// The base of every child window of the frame: its kind, its own menus with
// their merge groups, and the frame's broadcasts.
//
// A child is a plain widget; TFrameForm::AddChildWindow puts it into a
// sub-window of the frame's MDI area, which is deleted when it closes. The
// frame merges the menus of the active child into its menu bar: a child menu
// replaces the frame's menu of the same group, the others go in by group.
#pragma once

#include <QWidget>

#include <vector>

class QAction;
class QMdiSubWindow;
class QMenu;

// Kinds of child window (the component tag of each child).
enum TMDIChildKind : int {
  mkFullText = 1,
  mkConcordance = 2,
  mkCollocation = 3,
  mkWordList = 4,
  mkCorpusComp = 5,
};

struct TChildMenu {
  int Group;
  QMenu* Menu;
};

class TMDIChildForm : public QWidget
{
  Q_OBJECT
public:
  explicit TMDIChildForm(int kind, QWidget* parent = nullptr);
  ~TMDIChildForm() override;

  // MDIChildKind: 1 full text, 2 concordance, 3 collocation, 4 word list,
  // 5 corpus comparison.
  int kind() const { return kind_; }

  // The menus this child brings to the frame's menu bar, in order.
  const std::vector<TChildMenu>& menus() const { return menus_; }

  // The sub-window holding this child, once the frame has added it.
  QMdiSubWindow* subWindow() const;

  // WM_UPDATEMENUS: the frame has updated its own menus; the child sets its
  // items (children disable their commands while the program is busy). It
  // runs whenever the event loop goes idle: set a property only when its
  // value changes, or the change wakes the loop and it never rests.
  virtual void updateMenus() {}
  // WM_TAGSCHANGED: the tag settings changed.
  virtual void tagsChanged() {}
  // WM_REFRESHCONCORDANCES reaches concordance windows through this.
  virtual void refreshContext() {}
  // The child became, or stopped being, the frame's active child.
  virtual void activated() {}
  virtual void deactivated() {}

protected:
  // Adds one of the child's menus (owned by the child) with its merge group.
  QMenu* addMenu(int group, const QString& objectName, const QString& caption);

private:
  int kind_;
  std::vector<TChildMenu> menus_;
};

// An item of a child's menu with its object name, status-bar hint and tick.
QAction* AddMenuItem(QMenu* menu, const char* name, const char* caption, const char* hint, bool checkable = false);
// A submenu of a child's menu; its action carries the object name and hint.
QMenu* AddSubmenu(QMenu* menu, const char* name, const char* caption, const char* hint);
