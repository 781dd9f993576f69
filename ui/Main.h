// The main window: the site and output folders, the options, the filter
// summaries, the start action with its checks, the progress of a run and
// its report.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "engine/uFileResult.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace larkspan {

struct TObject;
struct TRunStatus;
struct TRunRecord;
class TAppConfig;
class TWebFilsMgr;

// Owns the settings object from creation to close. A run's engine refers to
// that object, so while a run is under way the window closes only after the
// run has been stopped and has ended. During a run the start button stops
// it. Main thread only; the engine's callbacks reach it through the
// main-thread hand-off.
class TfrmLarkspan : public QWidget {
 public:
  // Builds the controls, then runs FormCreate (loads "Config.ini").
  explicit TfrmLarkspan(QWidget* Parent = nullptr);
  ~TfrmLarkspan() override;

  void FormCreate();
  // Stores the controls and writes the settings file. While a run is under
  // way it asks whether to stop it: on Yes the run is stopped and the window
  // closes when it has ended; either way false now (nothing stored).
  bool FormClose();
  void btnStartClick();
  void EnableControls(bool Value);
  // Asks whether to remove the Count files in the output that the run did
  // not write (chkDeleteStale); true for Yes.
  bool ConfirmDeleteStale(int Count);
  // The start button as 生成 (idle) or as 停止 (while a run goes), each
  // with its own icon.
  void ShowRunState(bool Running);
  void EngineProgress(TObject* Sender, int Percent);
  // The report: the outcome and the offer to open the output folder as one
  // question, with 详细信息 opening the results window over it. The line
  // under the gauge keeps the run's final state ("[n/m] 已完成").
  void EngineFinished(TObject* Sender, const TRunRecord& Run);
  // The file being written, under the gauge.
  void EngineStatus(TObject* Sender, const TRunStatus& Status);
  // The results window for the last run's records.
  void ShowResults();
  // What the last run did to each file (empty before the first run).
  const std::vector<TFileResult>& LastResults() const { return FLastResults; }
  void btnAboutClick();
  void btnSelectRootClick();
  void btnSelectOutputClick();
  void btnFileFiltersClick();
  void btnCompressFilterClick();

  // The settings object; null after close.
  TAppConfig* Config() const { return FConfig.get(); }
  // True from a successful start until the report handler has finished.
  bool IsRunning() const { return FRunning; }

  QLabel* sLabel1;
  QLineEdit* edtRootPath;
  QToolButton* btnSelectRoot;
  QGroupBox* GroupBox1;
  QGroupBox* gbxCompress;
  QCheckBox* chkCompressHtml;
  QCheckBox* chkCompressXML;
  QCheckBox* chkCompressCSS;
  QCheckBox* chkCompressJS;
  QCheckBox* chkCompressJpg;
  QCheckBox* chkCompressPng;
  QCheckBox* chkCompressGif;
  QCheckBox* chkReducePic;
  QLabel* lbl1;
  QComboBox* cbxCharSet;
  QLabel* lblLevel;
  QComboBox* cbxLevel;  // the items in the order of TMinifyLevel
  QLabel* sLabel4;
  QLineEdit* edtCompressFilter;
  QToolButton* btnCompressFilter;
  QLabel* sLabel3;
  QLineEdit* edtFileFilters;
  QToolButton* btnFileFilters;
  QLabel* sLabel2;
  QLineEdit* edtOutputPath;
  QToolButton* btnSelectOutput;
  // Off at every start (never saved): removing files is asked for each time.
  QCheckBox* chkDeleteStale;
  QProgressBar* pgsMain;
  QLabel* lblCurrentFile;
  QPushButton* btnAbout;
  QPushButton* btnStart;

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  // A folder dropped on a path box from a file manager becomes its text.
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void BuildControls();
  // The option boxes' grid inside gbxCompress (from BuildControls).
  void LayOutOptions();
  // The tab order and the buttons' handlers (from BuildControls).
  void WireControls();
  void StoreSwitches();
  // A missing output folder: asks whether to create it (the run's start
  // does). False when the user declines or the text cannot be created as
  // asked (empty or relative: the plain refusal).
  bool AcceptMissingOutput(const std::string& Output);
  // "[done/total] 已完成" (已停止, 任务执行失败) under the gauge.
  void ShowFinalState(const TRunRecord& Run);
  std::unique_ptr<TAppConfig> FConfig;
  bool FRunning = false;
  // The running engine, from its start until its OnFinished returns; only
  // asked to stop.
  TWebFilsMgr* FEngine = nullptr;
  bool FCloseAfterRun = false;
  std::vector<TFileResult> FLastResults;
  std::string FLastOutput;
  bool FCentred = false;
};

}  // namespace larkspan
