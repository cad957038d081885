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
