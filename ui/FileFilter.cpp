#include "ui/FileFilter.h"

#include "config/uConfig.h"
#include "ui/Dialogs.h"
#include "ui/FilterRules.h"

namespace larkspan {

TfrmFileFilters::TfrmFileFilters(TAppConfig* AConfig, QWidget* Parent)
    : TFilterListDialog({"frmFileFilters", "设置文件过滤", "不需要导出文件的扩展名：", "lbxExt",
                         Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint,
                         265, 250},
                        AConfig->FileFilters, Parent),
      lbxExt(List) {}

void TfrmFileFilters::btnAddClick() {
  TInputRequest Request;
  Request.Owner = this;
  Request.Caption = "添加";
  Request.Prompt = "请输入文件扩展名(如：*.bak)：";
  const std::optional<QString> Typed = Dialogs().InputText(Request);
  if (!Typed) return;
  const std::string Pattern = S(*Typed);
  if (!IsAcceptableFilterPattern(Pattern)) return;
  AddEntry(Pattern, false);
}

}  // namespace larkspan
