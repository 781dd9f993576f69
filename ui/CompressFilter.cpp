#include "ui/CompressFilter.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include "config/uConfig.h"
#include "config/uGlobal.h"
#include "platform/Text.h"
#include "ui/FilterRules.h"
#include "ui/ListBox.h"
#include "ui/Widgets.h"
#include "ui/dmControlUI.h"

namespace larkspan {

TfrmCompressFilters::TfrmCompressFilters(const std::string& RootPath, TAppConfig* AConfig,
                                         QWidget* Parent)
    : QDialog(Parent), FRoot(IncludeTrailingDelimiter(RootPath)), Config(AConfig) {
  InitUiResources();
  setObjectName("frmCompressFilters");
  setWindowTitle("设置例外文件");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  lbxRelaFile = new TListBox(this);
  lbxRelaFile->setObjectName("lbxRelaFile");
  BuildFilterDialog(this, "不需要压缩的文件：", lbxRelaFile, GroupBox1, sLabel1, btnAdd, btnRemove,
                    sBitBtn1, sBitBtn2);
  setFixedSize(355, 255);

  dlgOpen1.Owner = this;
  dlgOpen1.Title = "选择例外文件";
  dlgOpen1.Filter = "所有文件(*.*) (*)";
  dlgOpen1.InitialFolder = Q(FRoot);
  dlgOpen1.CanClose = [this](const QString& FileName) {
    bool Ok = false;
    Guarded([&] { Ok = dlgOpen1CanClose(S(FileName)); });
    return Ok;
  };

  for (const std::string& Entry : ListTextEntries(Config->CompressFilters))
    lbxRelaFile->addItem(Q(Entry));
  lbxRelaFile->SelectIndex(-1);
  UpdateRemoveButton();

  lbxRelaFile->OnClick = [this] { Guarded([this] { lbxRelaFileClick(); }); };
  lbxRelaFile->OnKeyDown = [this](int Key) { Guarded([this, Key] { lbxRelaFileKeyDown(Key); }); };
  connect(btnAdd, &QToolButton::clicked, this, [this] { Guarded([this] { btnAddClick(); }); });
  connect(btnRemove, &QToolButton::clicked, this,
          [this] { Guarded([this] { btnRemoveClick(); }); });
}

void TfrmCompressFilters::UpdateRemoveButton() {
  btnRemove->setEnabled(lbxRelaFile->SelectedIndex() >= 0);
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
  const std::string Entry = RelativeToRoot(FRoot, FileName);
  const int Existing = IndexOfText(lbxRelaFile->Entries(), Entry);
  if (Existing >= 0) {
    lbxRelaFile->SelectIndex(Existing);
  } else {
    lbxRelaFile->addItem(Q(Entry));
    lbxRelaFile->SelectIndex(lbxRelaFile->count() - 1);
  }
  UpdateRemoveButton();
}

void TfrmCompressFilters::btnRemoveClick() {
  const int Index = lbxRelaFile->SelectedIndex();
  if (Index >= 0) delete lbxRelaFile->takeItem(Index);
  lbxRelaFile->SelectIndex(-1);
  UpdateRemoveButton();
}

void TfrmCompressFilters::lbxRelaFileClick() { UpdateRemoveButton(); }

void TfrmCompressFilters::lbxRelaFileKeyDown(int Key) {
  if (Key == Qt::Key_Up || Key == Qt::Key_Down) UpdateRemoveButton();
}

}  // namespace larkspan
