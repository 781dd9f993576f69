// The results window: what a run did to every file, as a table that sorts
// by any column and shows one action or all, with totals.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "engine/uFileResult.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace larkspan {

// Holds its own copy of the records, so it outlives the run that made them.
// Above the table, the summary by kind of file (SummaryByKind): one row per
// kind with files, bytes before and after, and a bar of the share saved.
// Main thread only.
class TfrmResults : public QDialog {
 public:
  TfrmResults(std::vector<TFileResult> Results, std::string OutputFolder,
              QWidget* Parent = nullptr);

  // Shows the rows of one action (-1 for all) and updates the totals.
  void ShowAction(int Action);
  void btnOpenOutputClick();

  QTableWidget* tblKinds;  // the summary by kind, one row each
  QTableWidget* tblResults;
  QComboBox* cbxAction;  // item data: the action, -1 for all
  QLabel* lblTotals;
  QPushButton* btnOpenOutput;
  QPushButton* btnClose;

 private:
  std::vector<TFileResult> FResults;
  std::string FOutputFolder;
};

// "共3个文件：处理前1.2KB，处理后0.8KB，节省33.3%" for the records shown.
std::string ResultTotals(const std::vector<const TFileResult*>& Shown);

}  // namespace larkspan
