// What the two filter dialogs share: a list of entries read from a list
// text of the settings, an add and a remove button beside it, OK and Cancel
// below. The remove button is enabled exactly while an entry is selected.
#pragma once

#include <QDialog>
#include <string>

class QFrame;
class QLabel;
class QPushButton;
class QToolButton;

namespace larkspan {

class TListBox;

class TFilterListDialog : public QDialog {
 public:
  QFrame* GroupBox1;  // a group without caption
  QLabel* sLabel1;
  QToolButton* btnAdd;
  QToolButton* btnRemove;
  QPushButton* sBitBtn1;
  QPushButton* sBitBtn2;

  // Deletes the selected entry, if any; then nothing is selected.
  void btnRemoveClick();
  // Adds the entry the user names (each dialog asks in its own way).
  virtual void btnAddClick() = 0;

 protected:
  // How a dialog looks: its object name, caption, label over the list, the
  // list's object name, the title bar's buttons and its fixed size.
  struct TLook {
    const char* ObjectName;
    const char* Caption;
    const char* Label;
    const char* ListName;
    Qt::WindowFlags Flags;
    int Width;
    int Height;
  };
  // Builds the controls and fills the list with the entries of ListText
  // (nothing selected). The buttons and the list call the handlers below.
  TFilterListDialog(const TLook& Look, const std::string& ListText, QWidget* Parent);

  // Adds Entry and selects it; when an entry equal to it (ASCII letters
  // folded) is listed already, selects that one if SelectExisting, or
  // leaves all as it is.
  void AddEntry(const std::string& Entry, bool SelectExisting);
  void UpdateRemoveButton();
  // The list's click and key handlers: the remove button follows the
  // selection.
  void ListClick() { UpdateRemoveButton(); }
  void ListKeyDown(int Key);

  TListBox* List;
};

}  // namespace larkspan
