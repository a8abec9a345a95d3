// The undo history of an entry field. Its change handler rewrites what the
// filter refuses, and a line edit forgets its own history whenever its text
// is set, so the field keeps here the texts it settled on instead: Ctrl+Z
// and the context menu's Undo bring back the text before the last change,
// also before a keystroke that the filter rewrote.
#pragma once

#include <QObject>
#include <QString>
#include <vector>

class QLineEdit;

class FieldUndo : public QObject {
 public:
  // Owned by `edit`, whose undo and redo keys and menu entries it takes over.
  explicit FieldUndo(QLineEdit* edit);

  // The field settled on its text after a change: one step, unless the
  // text is the one it held.
  void Record();
  // The program set the text: what the user typed before is not undone.
  void Restart();

  void Undo();
  void Redo();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowMenu(const QPoint& where);
  // Moves the settled text onto `to` and brings back the last of `from`.
  void Step(std::vector<QString>& from, std::vector<QString>& to);

  QLineEdit* edit_;
  QString settled_;
  std::vector<QString> undo_;
  std::vector<QString> redo_;
};
