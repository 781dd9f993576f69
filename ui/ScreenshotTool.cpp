// Draws the program's windows in their typical states into PNG files:
//   larkspan-screenshots OUTPUT_FOLDER WORK_FOLDER
// WORK_FOLDER receives a small demo site and its output; the settings file
// is the one under $XDG_CONFIG_HOME, so run this with a scratch home (the
// screenshot script does). Needs a real display (Xvfb will do).
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "config/uConfig.h"
#include "config/uFileVersionNote.h"
#include "config/uGlobal.h"
#include "engine/uWebFilesMgr.h"
#include "platform/Thread.h"
#include "ui/About.h"
#include "ui/CompressFilter.h"
#include "ui/Dialogs.h"
#include "ui/FileFilter.h"
#include "ui/ListBox.h"
#include "ui/Main.h"
#include "ui/QtDispatcher.h"
#include "ui/Results.h"
#include "ui/dmControlUI.h"

LARKSPAN_FILE_VERSION_NOTE(LARKSPAN_FILE_VERSION);

namespace larkspan {
namespace {

QString GOut;

void Settle() {
  for (int I = 0; I < 10; ++I) {
    QApplication::processEvents();
    QTest::qWait(30);
  }
}

void Save(const QPixmap& Picture, const char* Name) {
  const QString File = GOut + "/" + Name;
  if (!Picture.save(File, "PNG")) std::fprintf(stderr, "cannot write %s\n", qPrintable(File));
  std::printf("%s %dx%d\n", qPrintable(File), Picture.width(), Picture.height());
}

// A window on a soft backdrop with a plain title bar (the virtual display
// has no window manager to draw one), the way a reader sees it on a desktop.
// Over, when given, is a second window drawn centred on the first.
QPixmap OnBackdrop(QWidget* Window, QWidget* Over = nullptr) {
  const int Margin = 18, Bar = 30;
  auto Framed = [&](QWidget* W) {
    const QPixmap Content = W->grab();
    QPixmap Out(Content.width() + 2, Content.height() + Bar + 1);
    Out.fill(QColor("#5d8a76"));
    QPainter P(&Out);
    P.fillRect(1, 1, Content.width(), Bar - 1, QColor("#2e9c73"));
    P.drawPixmap(1, Bar, Content);
    const QIcon Icon = QApplication::windowIcon();
    P.drawPixmap(8, (Bar - 18) / 2 + 1, Icon.pixmap(18, 18));
    QFont Font = UiFont(14, true);
    P.setFont(Font);
    P.setPen(Qt::white);
    P.drawText(QRect(32, 1, Content.width() - 90, Bar - 1), Qt::AlignVCenter | Qt::AlignLeft,
               W->windowTitle());
    P.setFont(UiFont(16));
    QString Buttons = "✕";
    if (W->windowFlags() & Qt::WindowMinimizeButtonHint) Buttons = "—   ✕";
    P.drawText(QRect(1, 1, Content.width() - 10, Bar - 1), Qt::AlignVCenter | Qt::AlignRight,
               Buttons);
    return Out;
  };
  const QPixmap Main = Framed(Window);
  QPixmap Out(Main.width() + 2 * Margin, Main.height() + 2 * Margin);
  Out.fill(QColor("#dfe8e3"));
  QPainter P(&Out);
  P.fillRect(Margin + 4, Margin + 4, Main.width(), Main.height(), QColor(0, 0, 0, 45));
  P.drawPixmap(Margin, Margin, Main);
  if (Over) {
    const QPixmap Top = Framed(Over);
    const QPoint At(Margin + (Main.width() - Top.width()) / 2,
                    Margin + (Main.height() - Top.height()) / 2);
    P.fillRect(QRect(At + QPoint(5, 5), Top.size()), QColor(0, 0, 0, 60));
    P.drawPixmap(At, Top);
  }
  return Out;
}

// Answers the program's dialogs: message boxes are really shown, drawn
// over the main window into a picture, and closed.
class TShotDialogs : public IDialogs {
 public:
  QWidget* Main = nullptr;
  const char* NextShot = nullptr;

  TMsgResult Message(const TMessageRequest& Request) override {
    std::printf("message: %s\n", qPrintable(Request.Text));
    if (NextShot && Main) {
      auto Box = MakeMessageBox(Request);
      Box->show();
      Settle();
      Save(OnBackdrop(Main, Box.get()), NextShot);
      NextShot = nullptr;
      Box->close();
    }
    return Request.Buttons == TMsgButtons::Ok ? TMsgResult::Ok : TMsgResult::No;
  }
  std::optional<QString> OpenFile(const TOpenFileRequest&) override { return std::nullopt; }
  std::optional<QString> ChooseFolder(const TFolderRequest&) override { return std::nullopt; }
  std::optional<QString> InputText(const TInputRequest&) override { return std::nullopt; }
  void OpenFolder(const QString&) override {}
};

void WriteFile(const QString& Name, const QByteArray& Data) {
  QDir().mkpath(QFileInfo(Name).path());
  QFile F(Name);
  F.open(QIODevice::WriteOnly | QIODevice::Truncate);
  F.write(Data);
}

QByteArray Png(int W, int H, QColor C) {
  QImage Image(W, H, QImage::Format_RGB32);
  Image.fill(C);
  QPainter P(&Image);
  P.setPen(Qt::white);
  P.drawEllipse(2, 2, W - 4, H - 4);
  P.end();
  QByteArray Bytes;
  QBuffer Buffer(&Bytes);
  Buffer.open(QIODevice::WriteOnly);
  Image.save(&Buffer, "PNG");
  return Bytes;
}

// A small site with one duplicated picture.
void MakeDemoSite(const QString& Site) {
  WriteFile(Site + "/index.html",
            "<html><head><title>Demo</title><link rel=\"stylesheet\" href=\"css/site.css\">"
            "</head><body><img src=\"img/logo.png\"><img src=\"img/logo-copy.png\">"
            "<p>Hello</p></body></html>\n");
  WriteFile(Site + "/about.html", "<html><body><img src=\"img/logo.png\"></body></html>\n");
  WriteFile(Site + "/css/site.css", "body {\n  margin: 0;\n  color: #333;\n}\n");
  WriteFile(Site + "/js/vendor.min.js", "var a=1;\n");
  WriteFile(Site + "/img/logo.png", Png(64, 64, QColor("#3eb489")));
  WriteFile(Site + "/img/logo-copy.png", Png(64, 64, QColor("#3eb489")));
  WriteFile(Site + "/img/photo.png", Png(120, 80, QColor("#7a9ccf")));
  WriteFile(Site + "/drafts/notes.bak", QByteArray(20000, 'x'));
}

int Run(int Argc, char** Argv) {
  QApplication App(Argc, Argv);
  if (Argc < 3) {
    std::fprintf(stderr, "usage: larkspan-screenshots OUTPUT_FOLDER WORK_FOLDER\n");
    return 2;
  }
  GOut = QString::fromLocal8Bit(Argv[1]);
  const QString Work = QString::fromLocal8Bit(Argv[2]);
  QDir().mkpath(GOut);
  const QString Site = Work + "/我的网站/";
  const QString Output = Work + "/发布/";
  MakeDemoSite(Site);
  QDir().mkpath(Output);
  {
    TAppConfig Config("Config.ini");
    Config.RootPath = Site.toStdString();
    Config.OutputPath = Output.toStdString();
    Config.FileFilters = "*.bak|*.psd|";
    Config.CompressFilters = "js/vendor.min.js|";
    Config.IsCompressHtml = true;
    Config.IsCompressCSS = true;
    Config.IsCompressJS = true;
    Config.IsReducePic = true;
    Config.IsCompressPng = true;
    Config.SetCharSet("UTF-8");
  }

  InitUiResources();
  QApplication::setWindowIcon(QIcon(":/icons/larkspan.svg"));
  TScopedQtDispatcher Dispatcher;
  TShotDialogs Shots;
  SetDialogs(&Shots);
  TdmUI dmUI;
  TfrmLarkspan Main;
  Shots.Main = &Main;
  Main.show();
  Settle();
  Save(OnBackdrop(&Main), "main-idle.png");

  Main.EnableControls(false);
  Main.ShowRunState(true);
  Main.btnStart->setEnabled(true);
  Main.EngineProgress(nullptr, 42);
  TRunStatus Status;
  Status.DoneFiles = 3;
  Status.TotalFiles = 7;
  Status.Percent = 42;
  Status.CurrentFile = "img/photo.png";
  Main.EngineStatus(nullptr, Status);
  Settle();
  Save(OnBackdrop(&Main), "main-running.png");
  Main.EnableControls(true);
  Main.ShowRunState(false);
  Main.lblCurrentFile->clear();
  Main.EngineProgress(nullptr, 0);

  {
    TfrmFileFilters Dialog(Main.Config(), &Main);
    Dialog.show();
    Dialog.lbxExt->SelectIndex(0);
    Dialog.lbxExtClick();
    Settle();
    Save(OnBackdrop(&Dialog), "file-filters.png");
  }
  {
    TfrmCompressFilters Dialog(Site.toStdString(), Main.Config(), &Main);
    Dialog.show();
    Settle();
    Save(OnBackdrop(&Dialog), "compress-filters.png");
  }
  {
    TfrmAbout Dialog(&Main);
    Dialog.show();
    Settle();
    Save(OnBackdrop(&Dialog), "about.png");
  }

  // A real run of the engine on the demo site; its report is drawn.
  for (QCheckBox* C :
       {Main.chkCompressHtml, Main.chkCompressCSS, Main.chkCompressJS, Main.chkCompressXML,
        Main.chkCompressJpg, Main.chkCompressGif, Main.chkCompressPng})
    C->setChecked(false);
  Main.chkReducePic->setChecked(true);
  Shots.NextShot = "main-report.png";
  Main.btnStartClick();
  for (int I = 0; I < 600 && Main.IsRunning(); ++I) QTest::qWait(50);
  TThread::WaitForAllThreads();
  bool Ran = Shots.NextShot == nullptr;

  // What the run did to each file, as the report's 详细信息 button shows it.
  {
    TfrmResults Results(Main.LastResults(), Output.toStdString(), &Main);
    Results.show();
    Settle();
    Save(OnBackdrop(&Results), "results.png");
  }

  // A run stopped at once with the start button (停止 while it runs).
  Main.chkCompressPng->setChecked(true);
  Shots.NextShot = "main-stopped.png";
  Main.btnStartClick();
  Main.btnStartClick();
  for (int I = 0; I < 600 && Main.IsRunning(); ++I) QTest::qWait(50);
  TThread::WaitForAllThreads();
  Ran = Ran && Shots.NextShot == nullptr;
  Main.close();
  SetDialogs(nullptr);
  return Ran ? 0 : 1;
}

}  // namespace
}  // namespace larkspan

int main(int argc, char** argv) { return larkspan::Run(argc, argv); }
