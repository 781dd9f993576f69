// The file-filter dialog: edits the extension patterns ("*.bak") whose files
// are left out of the copy. It reads the settings' list but never writes
// the settings; after OK the caller takes the entries of lbxExt.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QToolButton;

namespace larkspan {

class TAppConfig;
class TListBox;

class TfrmFileFilters : public QDialog {
 public:
  // Fills the list from AConfig->FileFilters (not owned; must outlive the
  // dialog). Opens with no entry selected and btnRemove disabled.
  explicit TfrmFileFilters(TAppConfig* AConfig, QWidget* Parent = nullptr);

  // Asks for a pattern; adds it when acceptable and not yet listed.
  void btnAddClick();
  // Deletes the selected entry, if any.
  void btnRemoveClick();
  void lbxExtClick();
  void lbxExtKeyDown(int Key);

  QFrame* GroupBox1;  // a group without caption
  QLabel* sLabel1;
  TListBox* lbxExt;
  QToolButton* btnAdd;
  QToolButton* btnRemove;
  QPushButton* sBitBtn1;
  QPushButton* sBitBtn2;

 private:
  void UpdateRemoveButton();
  TAppConfig* Config;
};

}  // namespace larkspan
