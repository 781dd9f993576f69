// The file-filter dialog: edits the extension patterns ("*.bak") whose files
// are left out of the copy. It reads the settings' list but never writes
// the settings; after OK the caller takes the entries of lbxExt.
#pragma once

#include "ui/FilterDialog.h"

namespace larkspan {

class TAppConfig;
class TListBox;

class TfrmFileFilters : public TFilterListDialog {
 public:
  // Fills the list from AConfig->FileFilters (read here only; not kept by the
  // dialog). Opens with no entry selected and btnRemove disabled.
  explicit TfrmFileFilters(TAppConfig* AConfig, QWidget* Parent = nullptr);

  // Asks for a pattern; adds it when acceptable and not yet listed.
  void btnAddClick() override;
  void lbxExtClick() { ListClick(); }
  void lbxExtKeyDown(int Key) { ListKeyDown(Key); }

  TListBox* lbxExt;
};

}  // namespace larkspan
