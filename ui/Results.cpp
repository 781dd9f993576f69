#include "ui/Results.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/uRunReport.h"
#include "ui/Dialogs.h"
#include "ui/Widgets.h"
#include "ui/dmControlUI.h"

namespace larkspan {

namespace {

// A cell that sorts by a number rather than by its text.
class TNumberItem : public QTableWidgetItem {
 public:
  TNumberItem(const QString& Text, double Value) : QTableWidgetItem(Text), Value(Value) {
    setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  bool operator<(const QTableWidgetItem& Other) const override {
    if (const auto* N = dynamic_cast<const TNumberItem*>(&Other)) return Value < N->Value;
    return QTableWidgetItem::operator<(Other);
  }

 private:
  double Value;
};

std::string Bytes(int64_t N) {
  if (N < 1024) return std::to_string(N) + "B";
  return FormatSavedSize(N);
}

enum TColumn { ColPath, ColAction, ColBefore, ColAfter, ColSaved, ColNote, ColumnCount };

// The note column: why a file was treated so; for a duplicate left out,
// the copy that was written in its place.
std::string NoteText(const TFileResult& R) {
  if (R.Action == TFileAction::DuplicateLeftOut && !R.Detail.empty())
    return "保留的副本：" + R.Detail;
  return ReasonText(R, TReportLang::Zh);
}

// The summary by kind as a small table: kind, files, before, after, and the
// share saved as a bar (none for the kinds that are left out).
QTableWidget* MakeKindTable(QWidget* Parent, const std::vector<TFileResult>& Results) {
  const std::vector<TKindSummary> Rows = SummaryByKind(Results);
  auto* T = new QTableWidget(int(Rows.size()), 5, Parent);
  T->setObjectName("tblKinds");
  T->setHorizontalHeaderLabels({"类别", "文件数", "处理前", "处理后", "节省"});
  T->setEditTriggers(QAbstractItemView::NoEditTriggers);
  T->setSelectionMode(QAbstractItemView::NoSelection);
  T->verticalHeader()->hide();
  for (int I = 0; I < int(Rows.size()); ++I) {
    const TKindSummary& K = Rows[size_t(I)];
    const bool LeftOut = K.Kind == TFileKind::Duplicates || K.Kind == TFileKind::Filtered;
    T->setItem(I, 0, new QTableWidgetItem(Q(KindText(K.Kind, TReportLang::Zh))));
    T->setItem(I, 1, new TNumberItem(QString::number(K.Files), K.Files));
    T->setItem(I, 2, new TNumberItem(Q(Bytes(K.BytesIn)), double(K.BytesIn)));
    T->setItem(I, 3,
               new TNumberItem(LeftOut ? "未写出" : Q(Bytes(K.BytesOut)), double(K.BytesOut)));
    if (LeftOut) continue;
    auto* Bar = new QProgressBar(T);
    Bar->setObjectName("barSaved");
    Bar->setRange(0, 1000);
    const double Share =
        K.BytesIn > 0 ? double(K.BytesIn - K.BytesOut) * 1000.0 / double(K.BytesIn) : 0;
    Bar->setValue(int(std::clamp(Share, 0.0, 1000.0)));
    Bar->setFormat(Q(SavedPercent(K.BytesIn, K.BytesOut)));
    Bar->setTextVisible(true);
    T->setCellWidget(I, 4, Bar);
  }
  T->resizeColumnsToContents();
  T->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
  // As tall as its rows: the details below take the rest.
  int Height = T->horizontalHeader()->height() + 2 * T->frameWidth();
  for (int I = 0; I < T->rowCount(); ++I) Height += T->rowHeight(I);
  T->setFixedHeight(Height);
  return T;
}

}  // namespace

std::string ResultTotals(const std::vector<const TFileResult*>& Shown) {
  int64_t In = 0, Out = 0;
  for (const TFileResult* R : Shown) {
    In += R->BytesIn;
    Out += R->BytesOut;
  }
  return "共" + std::to_string(Shown.size()) + "个文件：处理前" + Bytes(In) + "，处理后" +
         Bytes(Out) + "，节省" + SavedPercent(In, Out);
}

TfrmResults::TfrmResults(std::vector<TFileResult> Results, std::string OutputFolder,
                         QWidget* Parent)
    : QDialog(Parent), FResults(std::move(Results)), FOutputFolder(std::move(OutputFolder)) {
  setObjectName("frmResults");
  setWindowTitle("详细信息");
  setFont(UiFont(14));
  resize(720, 600);  // the summary by kind above, the details below

  auto* FilterLabel = MakeLabel(this, "lblAction", "显示：");
  cbxAction = new QComboBox(this);
  cbxAction->setObjectName("cbxAction");
  cbxAction->addItem("全部", -1);
  const std::vector<int> Counts = CountByAction(FResults);
  for (int A = 0; A < FileActionCount; ++A)
    if (Counts[size_t(A)] > 0)
      cbxAction->addItem(Q(ActionText(TFileAction(A), TReportLang::Zh) + " (" +
                           std::to_string(Counts[size_t(A)]) + ")"),
                         A);

  tblKinds = MakeKindTable(this, FResults);
  tblResults = new QTableWidget(this);
  tblResults->setObjectName("tblResults");
  tblResults->setColumnCount(ColumnCount);
  tblResults->setHorizontalHeaderLabels({"路径", "处理", "处理前", "处理后", "节省", "说明"});
  // A long path keeps its file name in sight; the tooltip has all of it.
  tblResults->setTextElideMode(Qt::ElideMiddle);
  tblResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblResults->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblResults->verticalHeader()->hide();
  tblResults->horizontalHeader()->setSectionResizeMode(ColPath, QHeaderView::Stretch);
  tblResults->setRowCount(int(FResults.size()));
  for (int Row = 0; Row < int(FResults.size()); ++Row) {
    const TFileResult& R = FResults[size_t(Row)];
    const std::string Why = NoteText(R);
    auto* Path = new QTableWidgetItem(Q(R.Path));
    Path->setData(Qt::UserRole, int(R.Action));
    Path->setToolTip(Q(Why.empty() ? R.Path : R.Path + "\n" + Why));
    tblResults->setItem(Row, ColPath, Path);
    auto* Action = new QTableWidgetItem(Q(ActionText(R.Action, TReportLang::Zh)));
    if (!Why.empty()) Action->setToolTip(Q(Why));
    tblResults->setItem(Row, ColAction, Action);
    auto* Note = new QTableWidgetItem(Q(Why));
    if (!Why.empty()) Note->setToolTip(Q(Why));
    tblResults->setItem(Row, ColNote, Note);
    tblResults->setItem(Row, ColBefore, new TNumberItem(Q(Bytes(R.BytesIn)), double(R.BytesIn)));
    tblResults->setItem(Row, ColAfter, new TNumberItem(Q(Bytes(R.BytesOut)), double(R.BytesOut)));
    const double Saved =
        R.BytesIn > 0 ? double(R.BytesIn - R.BytesOut) * 100.0 / double(R.BytesIn) : 0;
    tblResults->setItem(Row, ColSaved,
                        new TNumberItem(Q(SavedPercent(R.BytesIn, R.BytesOut)), Saved));
  }
  tblResults->setSortingEnabled(true);
  tblResults->sortByColumn(ColPath, Qt::AscendingOrder);
  tblResults->resizeColumnsToContents();
  tblResults->horizontalHeader()->setSectionResizeMode(ColPath, QHeaderView::Stretch);
  // The path keeps most of the width; a long note is cut in the middle too.
  constexpr int MaxNoteWidth = 200;
  tblResults->setColumnWidth(ColNote, std::min(tblResults->columnWidth(ColNote), MaxNoteWidth));

  lblTotals = MakeLabel(this, "lblTotals", "");
  btnOpenOutput = MakeButton(this, "btnOpenOutput", "打开输出目录(&O)", ":/icons/folder.svg");
  btnClose = MakeButton(this, "btnClose", "关闭(&C)", "");
  btnOpenOutput->setEnabled(!FOutputFolder.empty());

  auto* Top = new QHBoxLayout;
  Top->addWidget(FilterLabel);
  Top->addWidget(cbxAction);
  Top->addStretch(1);
  auto* Bottom = new QHBoxLayout;
  Bottom->addWidget(lblTotals, 1);
  Bottom->addWidget(btnOpenOutput);
  Bottom->addWidget(btnClose);
  auto* Page = new QVBoxLayout(this);
  Page->addWidget(tblKinds);
  Page->addLayout(Top);
  Page->addWidget(tblResults, 1);
  Page->addLayout(Bottom);

  connect(cbxAction, &QComboBox::currentIndexChanged, this,
          [this](int) { ShowAction(cbxAction->currentData().toInt()); });
  connect(btnOpenOutput, &QPushButton::clicked, this,
          [this] { Guarded([&] { btnOpenOutputClick(); }); });
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
  ShowAction(-1);
}

void TfrmResults::ShowAction(int Action) {
  std::vector<const TFileResult*> Shown;
  for (int Row = 0; Row < tblResults->rowCount(); ++Row) {
    const QTableWidgetItem* Path = tblResults->item(Row, ColPath);
    const int RowAction = Path->data(Qt::UserRole).toInt();
    const bool Show = Action < 0 || RowAction == Action;
    tblResults->setRowHidden(Row, !Show);
  }
  for (const TFileResult& R : FResults)
    if (Action < 0 || int(R.Action) == Action) Shown.push_back(&R);
  lblTotals->setText(Q(ResultTotals(Shown)));
}

void TfrmResults::btnOpenOutputClick() { Dialogs().OpenFolder(Q(FOutputFolder)); }

}  // namespace larkspan
