#include "ui/CompressFilter.h"

#include "config/uConfig.h"
#include "platform/Text.h"
#include "ui/FilterRules.h"
#include "ui/Widgets.h"

namespace larkspan {

TfrmCompressFilters::TfrmCompressFilters(const std::string& RootPath, TAppConfig* AConfig,
                                         QWidget* Parent)
    : TFilterListDialog(
          {"frmCompressFilters", "设置例外文件", "不需要压缩的文件：", "lbxRelaFile",
           Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint,
           355, 255},
          AConfig->CompressFilters, Parent),
      lbxRelaFile(List),
      FRoot(IncludeTrailingDelimiter(RootPath)) {
  dlgOpen1.Owner = this;
  dlgOpen1.Title = "选择例外文件";
  dlgOpen1.Filter = "所有文件(*.*) (*)";
  dlgOpen1.InitialFolder = Q(FRoot);
  dlgOpen1.CanClose = [this](const QString& FileName) {
    bool Ok = false;
    Guarded([&] { Ok = dlgOpen1CanClose(S(FileName)); });
    return Ok;
  };
}

bool TfrmCompressFilters::dlgOpen1CanClose(const std::string& FileName) {
  if (IsBelowRoot(FRoot, FileName)) return true;
  ShowMessage(this, "请选择网站根目录下的子文件！", TMsgIcon::Information);
  return false;
}

void TfrmCompressFilters::btnAddClick() {
  const std::optional<QString> Chosen = Dialogs().OpenFile(dlgOpen1);
  if (!Chosen) return;
  const std::string FileName = S(*Chosen);
  // The dialog only closes on a file below the root; a replacement that
  // does not keep that promise adds nothing.
  if (!IsBelowRoot(FRoot, FileName) || FileName.size() == FRoot.size()) return;
  AddEntry(RelativeToRoot(FRoot, FileName), true);
}

}  // namespace larkspan
