#include "ui/FilterDialog.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "config/uGlobal.h"
#include "ui/FilterRules.h"
#include "ui/ListBox.h"
#include "ui/Widgets.h"
#include "ui/dmControlUI.h"

namespace larkspan {

namespace {

// Lays out a filter dialog: a captionless group with the label Label, List
// and the add and remove tool buttons beside it; OK (default) and Cancel
// below, wired to accept and reject.
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

}  // namespace

TFilterListDialog::TFilterListDialog(const TLook& Look, const std::string& ListText,
                                     QWidget* Parent)
    : QDialog(Parent) {
  InitUiResources();
  setObjectName(Look.ObjectName);
  setWindowTitle(Look.Caption);
  setWindowFlags(Look.Flags);
  List = new TListBox(this);
  List->setObjectName(Look.ListName);
  BuildFilterDialog(this, Look.Label, List, GroupBox1, sLabel1, btnAdd, btnRemove, sBitBtn1,
                    sBitBtn2);
  setFixedSize(Look.Width, Look.Height);

  for (const std::string& Entry : ListTextEntries(ListText)) List->addItem(Q(Entry));
  List->SelectIndex(-1);
  UpdateRemoveButton();

  List->OnClick = [this] { Guarded([this] { ListClick(); }); };
  List->OnKeyDown = [this](int Key) { Guarded([this, Key] { ListKeyDown(Key); }); };
  connect(btnAdd, &QToolButton::clicked, this, [this] { Guarded([this] { btnAddClick(); }); });
  connect(btnRemove, &QToolButton::clicked, this,
          [this] { Guarded([this] { btnRemoveClick(); }); });
}

void TFilterListDialog::UpdateRemoveButton() { btnRemove->setEnabled(List->SelectedIndex() >= 0); }

void TFilterListDialog::AddEntry(const std::string& Entry, bool SelectExisting) {
  const int Existing = IndexOfText(List->Entries(), Entry);
  if (Existing >= 0) {
    if (!SelectExisting) return;
    List->SelectIndex(Existing);
  } else {
    List->addItem(Q(Entry));
    List->SelectIndex(List->count() - 1);
  }
  UpdateRemoveButton();
}

void TFilterListDialog::btnRemoveClick() {
  const int Index = List->SelectedIndex();
  if (Index >= 0) delete List->takeItem(Index);
  List->SelectIndex(-1);
  UpdateRemoveButton();
}

void TFilterListDialog::ListKeyDown(int Key) {
  if (Key == Qt::Key_Up || Key == Qt::Key_Down) UpdateRemoveButton();
}

}  // namespace larkspan
