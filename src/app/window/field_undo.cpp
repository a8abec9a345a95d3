#include "app/window/field_undo.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

FieldUndo::FieldUndo(QLineEdit* edit) : QObject(edit), edit_(edit), settled_(edit->text()) {
  edit->installEventFilter(this);
}

void FieldUndo::Record() {
  if (edit_->text() == settled_) return;
  undo_.push_back(settled_);
  redo_.clear();
  settled_ = edit_->text();
}

void FieldUndo::Restart() {
  undo_.clear();
  redo_.clear();
  settled_ = edit_->text();
}

void FieldUndo::Undo() {
  Step(undo_, redo_);
}

void FieldUndo::Redo() {
  Step(redo_, undo_);
}

void FieldUndo::Step(std::vector<QString>& from, std::vector<QString>& to) {
  if (from.empty()) return;
  to.push_back(settled_);
  settled_ = from.back();
  from.pop_back();
  // Every text kept here passed the filter, so the change handler leaves it.
  edit_->setText(settled_);
}

bool FieldUndo::eventFilter(QObject* watched, QEvent* event) {
  if (watched != edit_) return false;
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Undo)) {
      Undo();
      return true;
    }
    if (key->matches(QKeySequence::Redo)) {
      Redo();
      return true;
    }
  }
  if (event->type() == QEvent::ContextMenu) {
    ShowMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
  }
  return false;
}

namespace {

// Whether `action` was wired to the line edit's `slot` (Qt has wired its
// menus both ways); it no longer is.
bool Unwire(QAction* action, QLineEdit* edit, void (QLineEdit::*slot)(), const char* slotName) {
  return QObject::disconnect(action, &QAction::triggered, edit, slot) ||
         QObject::disconnect(action, SIGNAL(triggered()), edit, slotName);
}

}  // namespace

// The line edit's own menu, its Undo and Redo taken over.
void FieldUndo::ShowMenu(const QPoint& where) {
  QMenu* menu = edit_->createStandardContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (QAction* action : menu->actions()) {
    if (Unwire(action, edit_, &QLineEdit::undo, SLOT(undo()))) {
      connect(action, &QAction::triggered, this, &FieldUndo::Undo);
      action->setEnabled(!undo_.empty());
    } else if (Unwire(action, edit_, &QLineEdit::redo, SLOT(redo()))) {
      connect(action, &QAction::triggered, this, &FieldUndo::Redo);
      action->setEnabled(!redo_.empty());
    }
  }
  menu->popup(where);
}
