#include "ui/Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "config/uConfig.h"
#include "config/uGlobal.h"
#include "engine/uFolderCheck.h"
#include "engine/uRunReport.h"
#include "engine/uWebFilesMgr.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "ui/About.h"
#include "ui/CompressFilter.h"
#include "ui/Dialogs.h"
#include "ui/FileFilter.h"
#include "ui/ListBox.h"
#include "ui/Results.h"
#include "ui/Widgets.h"
#include "ui/dmControlUI.h"

namespace larkspan {

TfrmLarkspan::TfrmLarkspan(QWidget* Parent) : QWidget(Parent) {
  InitUiResources();
  setObjectName("frmLarkspan");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(UiFont(14));
  BuildControls();
  setFixedSize(500, 375);
  FormCreate();
}

TfrmLarkspan::~TfrmLarkspan() = default;

namespace {

// The list of minification levels, in the order of TMinifyLevel.
QComboBox* MakeLevelBox(QWidget* Parent) {
  auto* Box = new QComboBox(Parent);
  Box->setObjectName("cbxLevel");
  Box->addItems({"仅空白 (spaces)", "安全 (safe)", "最小 (smallest)"});
  Box->setToolTip(
      "仅空白：只删除空白和注释，其他字节一概不变；\n"
      "安全（默认）：另把同义的写法改短（数字、颜色、可省的引号、默认属性），不改变含义；\n"
      "最小：另删除可省略的结束标记和所有网页注释（条件注释和服务器代码除外）。\n"
      "任何级别下，文字内容都逐字节保留。");
  return Box;
}

}  // namespace

void TfrmLarkspan::BuildControls() {
  sLabel1 = MakeLabel(this, "sLabel1", "网站根目录：");
  edtRootPath = MakeEdit(this, "edtRootPath", false);
  btnSelectRoot = MakeToolButton(this, "btnSelectRoot", ":/icons/folder.svg", "选择网站根目录");

  GroupBox1 = new QGroupBox("输出设置", this);
  GroupBox1->setObjectName("GroupBox1");
  gbxCompress = new QGroupBox("优化选项", GroupBox1);
  gbxCompress->setObjectName("gbxCompress");
  chkCompressHtml = MakeCheck(gbxCompress, "chkCompressHtml", "网页文件");
  chkCompressHtml->setChecked(true);
  chkCompressXML = MakeCheck(gbxCompress, "chkCompressXML", "XML文件");
  chkCompressCSS = MakeCheck(gbxCompress, "chkCompressCSS", "CSS样式");
  chkCompressJS = MakeCheck(gbxCompress, "chkCompressJS", "JavaScript脚本");
  chkCompressJpg = MakeCheck(gbxCompress, "chkCompressJpg", "JPG图片");
  // Its tooltip, which says lossy or lossless, comes with the settings (FormCreate).
  chkCompressPng = MakeCheck(gbxCompress, "chkCompressPng", "PNG图片");
  chkCompressGif = MakeCheck(gbxCompress, "chkCompressGif", "GIF图片");
  chkReducePic = MakeCheck(gbxCompress, "chkReducePic", "减少重复图片");
  lbl1 = MakeLabel(gbxCompress, "lbl1", "字符集：");
  cbxCharSet = new QComboBox(gbxCompress);
  cbxCharSet->setObjectName("cbxCharSet");
  cbxCharSet->addItems({"GB2312", "GBK", "Big5", "ISO-8859-1", "UTF-8", "UTF-16"});
  cbxCharSet->setCurrentIndex(-1);
  cbxCharSet->setMinimumWidth(120);
  lblLevel = MakeLabel(gbxCompress, "lblLevel", "压缩级别：");
  cbxLevel = MakeLevelBox(gbxCompress);
  sLabel4 = MakeLabel(gbxCompress, "sLabel4", "例外文件：");
  edtCompressFilter = MakeEdit(gbxCompress, "edtCompressFilter", true);
  btnCompressFilter =
      MakeToolButton(gbxCompress, "btnCompressFilter", ":/icons/filter.svg", "设置例外文件");

  sLabel3 = MakeLabel(GroupBox1, "sLabel3", "文件过滤：");
  edtFileFilters = MakeEdit(GroupBox1, "edtFileFilters", true);
  btnFileFilters =
      MakeToolButton(GroupBox1, "btnFileFilters", ":/icons/filter.svg", "设置文件过滤");
  sLabel2 = MakeLabel(GroupBox1, "sLabel2", "导出路径：");
  edtOutputPath = MakeEdit(GroupBox1, "edtOutputPath", false);
  btnSelectOutput =
      MakeToolButton(GroupBox1, "btnSelectOutput", ":/icons/folder.svg", "选择导出路径");
  chkDeleteStale = MakeCheck(GroupBox1, "chkDeleteStale", "删除输出目录中的多余文件");
  chkDeleteStale->setToolTip(
      "生成后删除输出目录中本次没有写出的文件（网站中已删除、改名或被过滤的），删除前会先询问；"
      "不会删除输出目录以外的任何东西，也不会经由链接删除");

  pgsMain = new QProgressBar(this);
  pgsMain->setObjectName("pgsMain");
  pgsMain->setRange(0, 100);
  pgsMain->setValue(0);
  pgsMain->setFormat("%p%");
  pgsMain->setAlignment(Qt::AlignCenter);
  lblCurrentFile = MakeLabel(this, "lblCurrentFile", "");
  lblCurrentFile->setMinimumWidth(1);  // long paths are cut, never widen the window

  for (QLineEdit* Box : {edtRootPath, edtOutputPath}) {
    Box->setAcceptDrops(true);
    Box->installEventFilter(this);
  }

  btnAbout = MakeButton(this, "btnAbout", "关于", ":/icons/info.svg");
  btnStart = MakeButton(this, "btnStart", "生成", ":/icons/start.svg");

  LayOutOptions();

  auto* Output = new QGridLayout(GroupBox1);
  Output->setContentsMargins(10, 6, 10, 8);
  Output->setVerticalSpacing(6);
  Output->addWidget(gbxCompress, 0, 0, 1, 3);
  Output->addWidget(sLabel3, 1, 0);
  Output->addWidget(edtFileFilters, 1, 1);
  Output->addWidget(btnFileFilters, 1, 2);
  Output->addWidget(sLabel2, 2, 0);
  Output->addWidget(edtOutputPath, 2, 1);
  Output->addWidget(btnSelectOutput, 2, 2);
  Output->addWidget(chkDeleteStale, 3, 1, 1, 2);

  auto* RootRow = new QHBoxLayout;
  RootRow->addWidget(sLabel1);
  RootRow->addWidget(edtRootPath, 1);
  RootRow->addWidget(btnSelectRoot);

  auto* Buttons = new QHBoxLayout;
  Buttons->addWidget(btnAbout);
  Buttons->addStretch(1);
  Buttons->addWidget(btnStart);

  auto* Page = new QVBoxLayout(this);
  Page->setContentsMargins(12, 10, 12, 10);
  Page->setSpacing(8);
  Page->addLayout(RootRow);
  Page->addWidget(GroupBox1);
  Page->addWidget(pgsMain);
  Page->addWidget(lblCurrentFile);
  Page->addStretch(1);
  Page->addLayout(Buttons);

  WireControls();
}

void TfrmLarkspan::LayOutOptions() {
  // Options: two rows of four boxes, then the character set and the
  // exception files.
  auto* Options = new QGridLayout(gbxCompress);
  Options->setContentsMargins(10, 6, 10, 8);
  Options->setHorizontalSpacing(8);
  Options->setVerticalSpacing(6);
  Options->addWidget(chkCompressHtml, 0, 0);
  Options->addWidget(chkCompressXML, 0, 1);
  Options->addWidget(chkCompressCSS, 0, 2);
  Options->addWidget(chkCompressJS, 0, 3);
  Options->addWidget(chkCompressJpg, 1, 0);
  Options->addWidget(chkCompressPng, 1, 1);
  Options->addWidget(chkCompressGif, 1, 2);
  Options->addWidget(chkReducePic, 1, 3);
  auto* CharSetRow = new QHBoxLayout;
  CharSetRow->addWidget(lbl1);
  CharSetRow->addWidget(cbxCharSet);
  CharSetRow->addSpacing(16);
  CharSetRow->addWidget(lblLevel);
  CharSetRow->addWidget(cbxLevel);
  CharSetRow->addStretch(1);
  Options->addLayout(CharSetRow, 2, 0, 1, 4);
  auto* ExceptionRow = new QHBoxLayout;
  ExceptionRow->addWidget(sLabel4);
  ExceptionRow->addWidget(edtCompressFilter, 1);
  ExceptionRow->addWidget(btnCompressFilter);
  Options->addLayout(ExceptionRow, 3, 0, 1, 4);
}

void TfrmLarkspan::WireControls() {
  // The tool buttons follow the box they fill.
  QWidget* const Order[] = {edtRootPath,       btnSelectRoot,     chkCompressHtml, chkCompressCSS,
                            chkCompressJS,     chkReducePic,      cbxCharSet,      cbxLevel,
                            edtCompressFilter, btnCompressFilter, chkCompressXML,  chkCompressJpg,
                            chkCompressPng,    chkCompressGif,    edtFileFilters,  btnFileFilters,
                            edtOutputPath,     btnSelectOutput,   chkDeleteStale,  btnAbout,
                            btnStart};
  for (size_t I = 1; I < std::size(Order); ++I) setTabOrder(Order[I - 1], Order[I]);

  auto Wire = [this](QAbstractButton* B, void (TfrmLarkspan::*Handler)()) {
    connect(B, &QAbstractButton::clicked, this,
            [this, Handler] { Guarded([&] { (this->*Handler)(); }); });
  };
  Wire(btnStart, &TfrmLarkspan::btnStartClick);
  Wire(btnAbout, &TfrmLarkspan::btnAboutClick);
  Wire(btnSelectRoot, &TfrmLarkspan::btnSelectRootClick);
  Wire(btnSelectOutput, &TfrmLarkspan::btnSelectOutputClick);
  Wire(btnFileFilters, &TfrmLarkspan::btnFileFiltersClick);
  Wire(btnCompressFilter, &TfrmLarkspan::btnCompressFilterClick);
}

void TfrmLarkspan::FormCreate() {
  QCoreApplication::setApplicationName("Vellimor");
  FConfig = std::make_unique<TAppConfig>("Config.ini");

  edtRootPath->setText(Q(FConfig->RootPath));
  edtFileFilters->setText(Q(FConfig->FileFilters));
  edtOutputPath->setText(Q(FConfig->OutputPath));
  // Shown from the start: the start action copies this box back, and an
  // empty box would silently wipe the stored exception list.
  edtCompressFilter->setText(Q(FConfig->CompressFilters));

  chkCompressHtml->setChecked(FConfig->IsCompressHtml);
  chkCompressCSS->setChecked(FConfig->IsCompressCSS);
  chkCompressJS->setChecked(FConfig->IsCompressJS);
  chkCompressXML->setChecked(FConfig->IsCompressXML);
  chkCompressJpg->setChecked(FConfig->IsCompressJpg);
  // Which JPEG reduction the box switches on (the key JpegMode in [Sys]).
  chkCompressJpg->setToolTip(
      FConfig->IsJpegLossless()
          ? "无损优化（jpegoptim）：只重写编码，每个像素不变；去除EXIF等附加信息。"
          : "有损压缩（jpegoptim -m85）：质量高于85的图片以质量85重新编码，像素会改变；"
            "去除EXIF等附加信息。设置文件中 JpegMode=lossless 可改为无损优化。");
  chkCompressGif->setChecked(FConfig->IsCompressGif);
  chkCompressPng->setChecked(FConfig->IsCompressPng);
  chkReducePic->setChecked(FConfig->IsReducePic);

  cbxCharSet->setCurrentIndex(
      cbxCharSet->findText(Q(FConfig->CharSet), Qt::MatchExactly | Qt::MatchCaseSensitive));
  cbxLevel->setCurrentIndex(static_cast<int>(FConfig->Level));

  setWindowTitle("Vellimor");
}

void TfrmLarkspan::StoreSwitches() {
  FConfig->IsCompressHtml = chkCompressHtml->isChecked();
  FConfig->IsCompressJS = chkCompressJS->isChecked();
  FConfig->IsCompressCSS = chkCompressCSS->isChecked();
  FConfig->IsCompressXML = chkCompressXML->isChecked();
  FConfig->IsCompressJpg = chkCompressJpg->isChecked();
  FConfig->IsCompressGif = chkCompressGif->isChecked();
  FConfig->IsCompressPng = chkCompressPng->isChecked();
  FConfig->IsReducePic = chkReducePic->isChecked();
  // Every item is a name SetCharSet takes; no selection is the empty name.
  FConfig->SetCharSet(S(cbxCharSet->currentText()));
  FConfig->Level = static_cast<TMinifyLevel>(std::max(0, cbxLevel->currentIndex()));
}

void TfrmLarkspan::btnStartClick() {
  if (FRunning) {
    // The button reads 停止 while a run goes.
    if (FEngine) FEngine->RequestStop();
    btnStart->setEnabled(false);
    lblCurrentFile->setText("正在停止……");
    return;
  }
  if (!FConfig) return;
  try {
    const std::string Root = S(edtRootPath->text());
    if (!DirectoryExists(Root)) throw Exception("网站根目录不存在！");
    const std::string Output = S(edtOutputPath->text());
    if (!DirectoryExists(Output) && !AcceptMissingOutput(Output)) return;
    // The text test, then the real folders: a link must not let the copy be
    // written into the site it is read from (or the other way round).
    if (FoldersOverlap(Root, Output) || FoldersConflict(Root, Output))
      throw Exception("网站根目录和输出目录不能相同！");

    StoreSwitches();
    FConfig->CompressFilters = S(edtCompressFilter->text());
    FConfig->FileFilters = S(edtFileFilters->text());
    const TAppConfig& C = *FConfig;
    if (!C.IsCompressHtml && !C.IsCompressJS && !C.IsCompressCSS && !C.IsCompressXML &&
        !C.IsCompressJpg && !C.IsCompressGif && !C.IsCompressPng && !C.IsReducePic)
      throw Exception("无可处理压缩选项！");

    // Owned here until its worker runs; a failed Start frees it with us.
    auto Engine = std::make_unique<TWebFilsMgr>(FConfig.get());
    Engine->OnProgress = [this](TObject* Sender, int Percent) { EngineProgress(Sender, Percent); };
    Engine->OnFinished = [this](TObject* Sender, const TRunRecord& Run) {
      EngineFinished(Sender, Run);
    };
    Engine->OnStatus = [this](TObject* Sender, const TRunStatus& Status) {
      EngineStatus(Sender, Status);
    };
    Engine->UseCache = true;
    Engine->DeleteStale = chkDeleteStale->isChecked();
    Engine->OnConfirmDelete = [this](TObject*, int Count) { return ConfirmDeleteStale(Count); };
    // Said once, before the run: those pictures will be copied unchanged.
    std::string Missing;
    for (const std::string& Tool : Engine->FindMissingTools())
      Missing += (Missing.empty() ? "" : "\n") + MissingToolReport(Tool, TReportLang::Zh);
    if (!Missing.empty()) ShowMessage(this, Missing, TMsgIcon::Warning);
    Engine->Start(Root, Output);
    FEngine = Engine.release();  // the engine frees itself after its report
    FRunning = true;
    FLastOutput = Output;
    EnableControls(false);
    ShowRunState(true);
    btnStart->setEnabled(true);
    lblCurrentFile->clear();
    lblCurrentFile->setToolTip(QString());
  } catch (const std::exception& E) {
    ShowMessage(this, E.what(), TMsgIcon::Warning);
  }
}

bool TfrmLarkspan::AcceptMissingOutput(const std::string& Output) {
  // Only a full path is offered: a relative one would be made wherever the
  // program happens to run.
  if (Output.empty() || Output.front() != '/') throw Exception("输出目录不存在！");
  return ShowMessage(this, "输出目录不存在！\n是否创建此目录并开始生成？", TMsgIcon::Question,
                     TMsgButtons::YesNo) == TMsgResult::Yes;
}

void TfrmLarkspan::ShowRunState(bool Running) {
  btnStart->setText(Running ? "停止" : "生成");
  btnStart->setIcon(QIcon(Running ? ":/icons/stop.svg" : ":/icons/start.svg"));
}

void TfrmLarkspan::EnableControls(bool Value) {
  edtRootPath->setEnabled(Value);
  btnSelectRoot->setEnabled(Value);
  edtOutputPath->setEnabled(Value);
  btnSelectOutput->setEnabled(Value);
  btnStart->setEnabled(Value);
  gbxCompress->setEnabled(Value);
  chkDeleteStale->setEnabled(Value);
}

bool TfrmLarkspan::ConfirmDeleteStale(int Count) {
  return ShowMessage(this,
                     "输出目录中有 " + std::to_string(Count) +
                         " 个文件不是本次生成的（网站中已删除、改名或被过滤）。\n是否删除这 " +
                         std::to_string(Count) + " 个文件？",
                     TMsgIcon::Question, TMsgButtons::YesNo) == TMsgResult::Yes;
}

void TfrmLarkspan::EngineProgress(TObject* Sender, int Percent) {
  pgsMain->setValue(std::clamp(Percent, 0, 100));
}

void TfrmLarkspan::EngineStatus(TObject* Sender, const TRunStatus& Status) {
  if (FRunning && !btnStart->isEnabled()) return;  // stopping: keep saying so
  const QString Text =
      QString("[%1/%2] ").arg(Status.DoneFiles).arg(Status.TotalFiles) + Q(Status.CurrentFile);
  lblCurrentFile->setText(
      lblCurrentFile->fontMetrics().elidedText(Text, Qt::ElideMiddle, lblCurrentFile->width()));
  lblCurrentFile->setToolTip(Q(Status.CurrentFile));
}

namespace {

// Besides the outcome: files copied as they were, optimisers missing, and
// entries of the site that were passed by unread (named, never lost
// without a word). Each note begins with a line break.
std::string RunNotes(const TRunRecord& Run) {
  std::string Notes;
  if (!Run.UncompressedFiles.empty())
    Notes += "\n" + UncompressedReport(int(Run.UncompressedFiles.size()), TReportLang::Zh);
  for (const std::string& Tool : Run.MissingTools)
    Notes += "\n" + MissingToolReport(Tool, TReportLang::Zh);
  if (Run.CacheHits > 0) Notes += "\n" + CacheReport(Run.CacheHits, TReportLang::Zh);
  if (!Run.CacheWarning.empty()) Notes += "\n" + Run.CacheWarning;
  if (!Run.StaleFiles.empty())
    Notes +=
        "\n" + StaleReport(int(Run.StaleFiles.size()), Run.RemovedStale, false, TReportLang::Zh);
  if (const std::string Skipped = SkippedReport(Run.SkippedFiles.size()); !Skipped.empty()) {
    Notes += "\n" + Skipped + "：";
    for (size_t I = 0; I < Run.SkippedFiles.size() && I < 10; ++I)
      Notes += "\n" + Run.SkippedFiles[I].FileName;
    if (Run.SkippedFiles.size() > 10) Notes += "\n……";
  }
  return Notes;
}

}  // namespace

void TfrmLarkspan::ShowResults() {
  // Over the report box when it asks for them, so it stays on top of that.
  QWidget* const Modal = QApplication::activeModalWidget();
  TfrmResults Results(FLastResults, FLastOutput, Modal ? Modal : this);
  Results.exec();
}

void TfrmLarkspan::EngineFinished(TObject* /*Sender*/, const TRunRecord& Run) {
  // Back to idle whatever the box below does.
  struct TBackToIdle {
    TfrmLarkspan* Form;
    ~TBackToIdle() {
      Form->FEngine = nullptr;
      Form->EnableControls(true);
      Form->ShowRunState(false);
      Form->pgsMain->setValue(0);
      Form->FRunning = false;
      // The close that waited for the run, once the engine has let go.
      TfrmLarkspan* const Window = Form;
      if (Window->FCloseAfterRun) QTimer::singleShot(0, Window, [Window] { Window->close(); });
    }
  } BackToIdle{this};

  FLastResults = Run.Results;
  ShowFinalState(Run);
  // Nothing is left to stop; the button is back once the report is answered.
  ShowRunState(false);
  btnStart->setEnabled(false);
  if (FCloseAfterRun) return;  // the user stopped the run to close the window

  std::string Report;
  TMsgIcon Icon = TMsgIcon::Information;
  if (Run.IsSuccess) {
    Report = SuccessReport(FConfig->IsReducePic, Run.DuplicateCount, Run.SavedSize);
  } else if (Run.IsStopped) {
    Report = StoppedReport(Run.DoneFiles, Run.TotalFiles, TReportLang::Zh);
  } else {
    Report = FailureReport(Run.ErrorText);
    Icon = TMsgIcon::Error;
  }
  Report += RunNotes(Run);
  // One box: the outcome, then the offer to open the output folder.
  Report += "\n\n是否要立即打开输出目录查看文件？";
  const TMsgButtons Buttons = FLastResults.empty() ? TMsgButtons::YesNo : TMsgButtons::YesNoDetails;
  if (ShowMessage(this, Report, Icon, Buttons, [this] { ShowResults(); }) == TMsgResult::Yes)
    Dialogs().OpenFolder(edtOutputPath->text());
}

void TfrmLarkspan::ShowFinalState(const TRunRecord& Run) {
  lblCurrentFile->setToolTip(QString());
  const char* State = Run.IsSuccess ? "已完成" : Run.IsStopped ? "已停止" : "任务执行失败";
  lblCurrentFile->setText(QString("[%1/%2] ").arg(Run.DoneFiles).arg(Run.TotalFiles) + State);
}

bool TfrmLarkspan::FormClose() {
  if (!FConfig) return true;
  if (FRunning) {
    // The engine reads the settings until it ends: the window goes after it.
    if (!FCloseAfterRun && ShowMessage(this, "任务正在执行，是否停止任务并关闭窗口？",
                                       TMsgIcon::Question, TMsgButtons::YesNo) == TMsgResult::Yes) {
      FCloseAfterRun = true;
      if (FEngine) FEngine->RequestStop();
      btnStart->setEnabled(false);
      lblCurrentFile->setText("正在停止……");
    }
    return false;
  }
  FConfig->RootPath = S(edtRootPath->text());
  FConfig->OutputPath = S(edtOutputPath->text());
  FConfig->FileFilters = S(edtFileFilters->text());
  StoreSwitches();
  // Saved here rather than in the destructor, so that a failure is shown.
  FConfig->SaveOnDestroy = false;
  try {
    FConfig->SaveToFile();
  } catch (const std::exception& E) {
    ShowException(E);
  }
  FConfig.reset();
  return true;
}

void TfrmLarkspan::closeEvent(QCloseEvent* Event) {
  bool Accept = true;
  Guarded([&] { Accept = FormClose(); });
  if (Accept)
    Event->accept();
  else
    Event->ignore();
}

void TfrmLarkspan::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  if (FCentred) return;
  FCentred = true;
  if (QScreen* Screen = screen()) {
    const QRect Area = Screen->availableGeometry();
    move(Area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
  }
}

bool TfrmLarkspan::eventFilter(QObject* Watched, QEvent* Event) {
  auto* Box = qobject_cast<QLineEdit*>(Watched);
  if (!Box || (Box != edtRootPath && Box != edtOutputPath))
    return QWidget::eventFilter(Watched, Event);
  switch (Event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* Drag = static_cast<QDragMoveEvent*>(Event);
      const QMimeData* Data = Drag->mimeData();
      const bool FromFiles = Data->hasUrls() || Data->text().startsWith("file:");
      if (!FromFiles) return false;  // plain text is typed in as usual
      if (DroppedFolder(Data).isEmpty())
        Drag->ignore();
      else
        Drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* Drop = static_cast<QDropEvent*>(Event);
      const QMimeData* Data = Drop->mimeData();
      if (!Data->hasUrls() && !Data->text().startsWith("file:")) return false;
      const QString Folder = DroppedFolder(Data);
      if (Folder.isEmpty()) {
        Drop->ignore();
      } else {
        Box->setText(Folder);
        Box->setFocus();
        Drop->acceptProposedAction();
      }
      return true;
    }
    default:
      return QWidget::eventFilter(Watched, Event);
  }
}

void TfrmLarkspan::btnAboutClick() {
  TfrmAbout About(this);
  About.exec();
}

void TfrmLarkspan::btnSelectRootClick() {
  // A cancelled chooser leaves the box as it was.
  const std::string Folder = SelectFolder(this, "请选择网站根目录。", S(edtRootPath->text()));
  if (!Folder.empty()) edtRootPath->setText(Q(Folder));
}

void TfrmLarkspan::btnSelectOutputClick() {
  const std::string Folder = SelectFolder(this, "请选择输出路径。", S(edtOutputPath->text()));
  if (!Folder.empty()) edtOutputPath->setText(Q(Folder));
}

void TfrmLarkspan::btnFileFiltersClick() {
  if (!FConfig) return;
  FConfig->FileFilters = S(edtFileFilters->text());
  TfrmFileFilters Dialog(FConfig.get(), this);
  if (Dialog.exec() == QDialog::Accepted)
    edtFileFilters->setText(Q(MakeListText(Dialog.lbxExt->Entries())));
}

void TfrmLarkspan::btnCompressFilterClick() {
  if (!FConfig) return;
  const std::string Root = S(edtRootPath->text());
  if (!DirectoryExists(Root)) {
    ShowMessage(this, "请设置网站根目录！", TMsgIcon::Information);
    return;
  }
  TfrmCompressFilters Dialog(Root, FConfig.get(), this);
  if (Dialog.exec() == QDialog::Accepted) {
    FConfig->CompressFilters = MakeListText(Dialog.lbxRelaFile->Entries());
    edtCompressFilter->setText(Q(FConfig->CompressFilters));
  }
}

}  // namespace larkspan
