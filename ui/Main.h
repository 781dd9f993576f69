// The main window: the site and output folders, the options, the filter
// summaries, the start action with its checks, the progress of a run and
// its report.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

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
class TAppConfig;

// Owns the settings object from creation to close. A run's engine refers to
// that object, so the window refuses to close while a run is under way.
// Main thread only; the engine's callbacks reach it through the main-thread
// hand-off.
class TfrmLarkspan : public QWidget {
 public:
  // Builds the controls, then runs FormCreate (loads "Config.ini").
  explicit TfrmLarkspan(QWidget* Parent = nullptr);
  ~TfrmLarkspan() override;

  void FormCreate();
  // Stores the controls and writes the settings file. False (and nothing
  // stored) while a run is under way.
  bool FormClose();
  void btnStartClick();
  void EnableControls(bool Value);
  void EngineProgress(TObject* Sender, int Percent);
  void EngineFinished(TObject* Sender);
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
  QLabel* sLabel4;
  QLineEdit* edtCompressFilter;
  QToolButton* btnCompressFilter;
  QLabel* sLabel3;
  QLineEdit* edtFileFilters;
  QToolButton* btnFileFilters;
  QLabel* sLabel2;
  QLineEdit* edtOutputPath;
  QToolButton* btnSelectOutput;
  QProgressBar* pgsMain;
  QPushButton* btnAbout;
  QPushButton* btnStart;

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

 private:
  void BuildControls();
  void StoreSwitches();
  std::unique_ptr<TAppConfig> FConfig;
  bool FRunning = false;
  bool FCentred = false;
};

}  // namespace larkspan
