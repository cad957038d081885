#include "workbench/frame/child_window.h"

#include <QMdiSubWindow>
#include <QMenu>

TMDIChildForm::TMDIChildForm(int kind, QWidget* parent) : QWidget(parent), kind_(kind) {}

TMDIChildForm::~TMDIChildForm() = default;

QMdiSubWindow* TMDIChildForm::subWindow() const
{
  return qobject_cast<QMdiSubWindow*>(parentWidget());
}

QMenu* TMDIChildForm::addMenu(int group, const QString& objectName, const QString& caption)
{
  auto* menu = new QMenu(caption, this);
  menu->setObjectName(objectName);
  menus_.push_back(TChildMenu{group, menu});
  return menu;
}

QAction* AddMenuItem(QMenu* menu, const char* name, const char* caption, const char* hint, bool checkable)
{
  QAction* action = menu->addAction(QString::fromLatin1(caption));
  action->setObjectName(QString::fromLatin1(name));
  action->setStatusTip(QString::fromLatin1(hint));
  action->setCheckable(checkable);
  return action;
}

QMenu* AddSubmenu(QMenu* menu, const char* name, const char* caption, const char* hint)
{
  QMenu* sub = menu->addMenu(QString::fromLatin1(caption));
  sub->setObjectName(QString::fromLatin1(name));
  sub->menuAction()->setObjectName(QString::fromLatin1(name));
  sub->menuAction()->setStatusTip(QString::fromLatin1(hint));
  return sub;
}
