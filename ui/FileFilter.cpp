#include "ui/FileFilter.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "config/uConfig.h"
#include "config/uGlobal.h"
#include "ui/FilterRules.h"
#include "ui/ListBox.h"
#include "ui/Widgets.h"
#include "ui/dmControlUI.h"

namespace larkspan {

void BuildFilterDialog(QDialog* Dialog, const char* Label, TListBox* List, QFrame*& Group,
                       QLabel*& Caption, QToolButton*& Add, QToolButton*& Remove, QPushButton*& Ok,
                       QPushButton*& Cancel) {
  Dialog->setFont(UiFont(14));
  Group = new QFrame(Dialog);
  Group->setFrameShape(QFrame::StyledPanel);
  Group->setObjectName("GroupBox1");
  Caption = MakeLabel(Group, "sLabel1", Label);
  Caption->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  List->setParent(Group);
  Add = MakeToolButton(Group, "btnAdd", ":/icons/plus.svg", "添加");
  Remove = MakeToolButton(Group, "btnRemove", ":/icons/minus.svg", "移除");
  Ok = MakeButton(Dialog, "sBitBtn1", "确定", ":/icons/tick.svg");
  Cancel = MakeButton(Dialog, "sBitBtn2", "取消", "");
  Ok->setDefault(true);
  Ok->setAutoDefault(true);
  Cancel->setAutoDefault(false);

  auto* Grid = new QGridLayout(Group);
  Grid->setContentsMargins(10, 8, 10, 10);
  Grid->addWidget(Caption, 0, 0, 1, 2);
  Grid->addWidget(List, 1, 0, 3, 1);
  Grid->addWidget(Add, 1, 1);
  Grid->addWidget(Remove, 2, 1);
  Grid->setRowStretch(3, 1);

  auto* Buttons = new QHBoxLayout;
  Buttons->addStretch(1);
  Buttons->addWidget(Ok);
  Buttons->addWidget(Cancel);

  auto* Page = new QVBoxLayout(Dialog);
  Page->setContentsMargins(10, 10, 10, 10);
  Page->addWidget(Group, 1);
  Page->addLayout(Buttons);

  QObject::connect(Ok, &QPushButton::clicked, Dialog, &QDialog::accept);
  QObject::connect(Cancel, &QPushButton::clicked, Dialog, &QDialog::reject);
}

TfrmFileFilters::TfrmFileFilters(TAppConfig* AConfig, QWidget* Parent)
    : QDialog(Parent), Config(AConfig) {
  InitUiResources();
  setObjectName("frmFileFilters");
  setWindowTitle("设置文件过滤");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  lbxExt = new TListBox(this);
  lbxExt->setObjectName("lbxExt");
  BuildFilterDialog(this, "不需要导出文件的扩展名：", lbxExt, GroupBox1, sLabel1, btnAdd, btnRemove,
                    sBitBtn1, sBitBtn2);
  setFixedSize(265, 250);

  for (const std::string& Entry : ListTextEntries(Config->FileFilters)) lbxExt->addItem(Q(Entry));
  lbxExt->SelectIndex(-1);
  UpdateRemoveButton();

  lbxExt->OnClick = [this] { Guarded([this] { lbxExtClick(); }); };
  lbxExt->OnKeyDown = [this](int Key) { Guarded([this, Key] { lbxExtKeyDown(Key); }); };
  connect(btnAdd, &QToolButton::clicked, this, [this] { Guarded([this] { btnAddClick(); }); });
  connect(btnRemove, &QToolButton::clicked, this,
          [this] { Guarded([this] { btnRemoveClick(); }); });
}

void TfrmFileFilters::UpdateRemoveButton() { btnRemove->setEnabled(lbxExt->SelectedIndex() >= 0); }

void TfrmFileFilters::btnAddClick() {
  TInputRequest Request;
  Request.Owner = this;
  Request.Caption = "添加";
  Request.Prompt = "请输入文件扩展名(如：*.bak)：";
  const std::optional<QString> Typed = Dialogs().InputText(Request);
  if (!Typed) return;
  const std::string Pattern = S(*Typed);
  if (!IsAcceptableFilterPattern(Pattern)) return;
  if (IndexOfText(lbxExt->Entries(), Pattern) >= 0) return;
  lbxExt->addItem(Q(Pattern));
  lbxExt->SelectIndex(lbxExt->count() - 1);
  UpdateRemoveButton();
}

void TfrmFileFilters::btnRemoveClick() {
  const int Index = lbxExt->SelectedIndex();
  if (Index >= 0) delete lbxExt->takeItem(Index);
  lbxExt->SelectIndex(-1);
  UpdateRemoveButton();
}

void TfrmFileFilters::lbxExtClick() { UpdateRemoveButton(); }

void TfrmFileFilters::lbxExtKeyDown(int Key) {
  if (Key == Qt::Key_Up || Key == Qt::Key_Down) UpdateRemoveButton();
}

}  // namespace larkspan
