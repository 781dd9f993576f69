// The exception-file dialog: edits the files of the site (relative to its
// root) that are copied without being compressed. Files are picked with an
// open-file dialog that accepts only files below the root. It reads the
// settings' list but never writes the settings; after OK the caller takes
// the entries of lbxRelaFile.
#pragma once

#include <string>

#include "ui/Dialogs.h"
#include "ui/FilterDialog.h"

namespace larkspan {

class TAppConfig;
class TListBox;

class TfrmCompressFilters : public TFilterListDialog {
 public:
  // RootPath gets a trailing "/" when it has none. Fills the list from
  // AConfig->CompressFilters (read here only; not kept by the dialog).
  TfrmCompressFilters(const std::string& RootPath, TAppConfig* AConfig, QWidget* Parent = nullptr);

  // Picks a file below the root and adds its relative name, or selects the
  // entry already listed for it.
  void btnAddClick() override;
  void lbxRelaFileClick() { ListClick(); }
  void lbxRelaFileKeyDown(int Key) { ListKeyDown(Key); }
  // Asked by the open-file dialog about a confirmed file: false, after a
  // notice, for a file that is not below the root.
  bool dlgOpen1CanClose(const std::string& FileName);

  const std::string& Root() const { return FRoot; }

  TListBox* lbxRelaFile;
  TOpenFileRequest dlgOpen1;

 private:
  std::string FRoot;
};

}  // namespace larkspan
