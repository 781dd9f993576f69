#include "ui/ListBox.h"

#include <QKeyEvent>

#include "ui/Dialogs.h"

namespace larkspan {

TListBox::TListBox(QWidget* Parent) : QListWidget(Parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
}

std::vector<std::string> TListBox::Entries() const {
  std::vector<std::string> Out;
  Out.reserve(size_t(count()));
  for (int I = 0; I < count(); ++I) Out.push_back(S(item(I)->text()));
  return Out;
}

int TListBox::SelectedIndex() const {
  const QList<QListWidgetItem*> Selected = selectedItems();
  return Selected.isEmpty() ? -1 : row(Selected.first());
}

void TListBox::SelectIndex(int Index) {
  if (Index < 0 || Index >= count()) {
    clearSelection();
    setCurrentRow(-1);
    return;
  }
  setCurrentRow(Index, QItemSelectionModel::ClearAndSelect);
}

void TListBox::mousePressEvent(QMouseEvent* Event) {
  QListWidget::mousePressEvent(Event);
  if (OnClick) OnClick();
}

void TListBox::keyPressEvent(QKeyEvent* Event) {
  QListWidget::keyPressEvent(Event);
  if (OnKeyDown) OnKeyDown(Event->key());
}

}  // namespace larkspan
