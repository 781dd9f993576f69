// Small builders for the controls the windows share, and the guard around
// every event handler.
#pragma once

#include <exception>
#include <string>

#include "ui/Dialogs.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;
class QToolButton;
class QWidget;

namespace larkspan {

QLabel* MakeLabel(QWidget* Parent, const char* Name, const char* Text);
QLineEdit* MakeEdit(QWidget* Parent, const char* Name, bool ReadOnly);
QCheckBox* MakeCheck(QWidget* Parent, const char* Name, const char* Text);
// A small square tool button with a 16-pixel icon and a hint; the toolkit
// greys the icon when the button is disabled.
QToolButton* MakeToolButton(QWidget* Parent, const char* Name, const char* Icon, const char* Hint);
// A push button with a 24-pixel icon ("" for none).
QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Text, const char* Icon);

// The local folder a drag from a file manager carries (a file:// URI, as a
// URI list or as text), ending with "/"; "" for anything else (a file,
// several items, a remote URI).
QString DroppedFolder(const QMimeData* Data);

// Runs a handler; an error it lets through is shown by the application's
// error display, and the program goes on.
template <typename F>
void Guarded(F&& Handler) {
  try {
    Handler();
  } catch (const std::exception& E) {
    ShowException(E);
  }
}

}  // namespace larkspan
