// The main window driven as a user would: real settings files in a private
// folder, real folders, the real engine on a small site.
#include "ui/Main.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <QUrl>
#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <thread>

#include "config/uConfig.h"
#include "engine/uRunReport.h"
#include "platform/Error.h"
#include "platform/Thread.h"
#include "ui/FakeDialogs.h"
#include "ui/QtDispatcher.h"
#include "ui/Results.h"
#include "ui/TestSupport.h"

namespace larkspan {

namespace {

int64_t TreeSize(const QString& Folder) {
  int64_t Sum = 0;
  const QFileInfoList Entries =
      QDir(Folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
  for (const QFileInfo& E : Entries) Sum += E.isDir() ? TreeSize(E.filePath()) : E.size();
  return Sum;
}

void SetAllOptions(TfrmLarkspan& F, bool On) {
  for (QCheckBox* C : {F.chkCompressHtml, F.chkCompressXML, F.chkCompressCSS, F.chkCompressJS,
                       F.chkCompressJpg, F.chkCompressPng, F.chkCompressGif, F.chkReducePic})
    C->setChecked(On);
}

// The window, closed (settings written) at the end of the test.
std::unique_ptr<TfrmLarkspan> OpenWindow() {
  auto F = std::make_unique<TfrmLarkspan>();
  F->show();
  return F;
}

// The window set up for a run of Site -> Out with every option off but the
// check box Only, ready for btnStart.
std::unique_ptr<TfrmLarkspan> OpenForRun(const std::string& Site, const std::string& Out,
                                         QCheckBox* TfrmLarkspan::*Only) {
  auto F = OpenWindow();
  SetAllOptions(*F, false);
  ((*F).*Only)->setChecked(true);
  F->edtRootPath->setText(QString::fromStdString(Site));
  F->edtOutputPath->setText(QString::fromStdString(Out));
  return F;
}

// A fake gifsicle first on PATH for the object's life: it notes its
// process id, writes half a result and hangs, so a run is under way long
// enough to be stopped.
class TFakeGifsicle {
 public:
  explicit TFakeGifsicle(const TTestHome& Home)
      : Pids(Home.Path() + "fake.pids"), OldPath(qgetenv("PATH")) {
    const std::string Bin = Home.MakeFolder("fake-tools");
    Home.WriteFile("fake-tools/gifsicle", "#!/bin/sh\necho $$ >> '" + Pids +
                                              "'\nprintf 'GIF89a-half' > \"$3\"\nsleep 60\n");
    QFile::setPermissions(QString::fromStdString(Bin + "gifsicle"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("PATH", QByteArray::fromStdString(Bin) + ":" + OldPath);
  }
  ~TFakeGifsicle() { qputenv("PATH", OldPath); }
  bool Started() const { return Group() > 0; }
  // No process of the fake's group is left.
  bool Gone() const { return Group() > 0 && ::kill(-Group(), 0) != 0 && errno == ESRCH; }

 private:
  pid_t Group() const {
    QFile F(QString::fromStdString(Pids));
    if (!F.open(QIODevice::ReadOnly)) return 0;
    return pid_t(F.readLine().trimmed().toLong());
  }
  std::string Pids;
  QByteArray OldPath;
};

QByteArray FindOnPath(const char* Name) {
  for (const QByteArray& Dir : qgetenv("PATH").split(':')) {
    const QByteArray Path = Dir + "/" + Name;
    if (!Dir.isEmpty() && QFileInfo(QString::fromUtf8(Path)).isExecutable()) return Path;
  }
  return QByteArray();
}

// Runs Fn on the modal window of type D once one is shown (checked every
// 20 ms for up to a minute).
template <class D>
void WhenModal(std::function<void(D*)> Fn) {
  auto* Timer = new QTimer(qApp);
  auto Tries = std::make_shared<int>(0);
  QObject::connect(Timer, &QTimer::timeout, [Timer, Tries, Fn] {
    if (auto* Dialog = dynamic_cast<D*>(QApplication::activeModalWidget())) {
      Timer->stop();
      Timer->deleteLater();
      Fn(Dialog);
    } else if (++*Tries > 3000) {
      Timer->stop();
      Timer->deleteLater();
    }
  });
  Timer->start(20);
}

void WaitForRunEnd(TfrmLarkspan& F) {
  QTRY_VERIFY_WITH_TIMEOUT(!F.IsRunning(), 60000);
  TThread::WaitForAllThreads();
}

// The picture of Resource's icon is the one Button shows.
bool ShowsIcon(const QAbstractButton* Button, const char* Resource) {
  const QImage Want = QIcon(Resource).pixmap(24, 24).toImage();
  return !Want.isNull() && Button->icon().pixmap(24, 24).toImage() == Want;
}

}  // namespace

class TfrmLarkspanTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { Dispatcher = std::make_unique<TScopedQtDispatcher>(); }
  void cleanupTestCase() { Dispatcher.reset(); }

  void TabOrderFollowsTheLayoutAndEveryTextFits() {
    TTestHome Home;
    TFakeDialogs Fake;
    auto F = OpenWindow();
    QVERIFY(F->edtFileFilters->isReadOnly());
    QVERIFY(F->edtCompressFilter->isReadOnly());
    QVERIFY(!F->edtRootPath->isReadOnly());
    // Tab order: root, the options group row by row as laid out in the
    // form, the two boxes below it, then the two buttons.
    QList<QWidget*> Expected = {
        F->edtRootPath,    F->chkCompressHtml, F->chkCompressCSS, F->chkCompressJS,
        F->chkReducePic,   F->cbxCharSet,      F->cbxLevel,       F->edtCompressFilter,
        F->chkCompressXML, F->chkCompressJpg,  F->chkCompressPng, F->chkCompressGif,
        F->edtFileFilters, F->edtOutputPath,   F->btnAbout,       F->btnStart};
    QList<QWidget*> Chain;
    QWidget* W = F->edtRootPath;
    do {
      if (Expected.contains(W)) Chain << W;
      W = W->nextInFocusChain();
    } while (W != F->edtRootPath && Chain.size() < Expected.size());
    QCOMPARE(Chain, Expected);
    // Every text fits: no label is cut off by the fixed window size.
    for (QLabel* L : F->findChildren<QLabel*>())
      QVERIFY2(L->width() >= L->sizeHint().width(), qPrintable(L->objectName()));
    for (QCheckBox* C : F->findChildren<QCheckBox*>())
      QVERIFY2(C->width() >= C->sizeHint().width(), qPrintable(C->objectName()));
    F->close();
  }

  void WindowShowsAndStoresTheSettings() {
    TTestHome Home;
    TFakeDialogs Fake;
    Home.WriteConfig(
        "RootPath=/srv/site/\nOutputPath=/srv/out/\nFileFilters=*.bak|*.tmp|\n"
        "CompressFilters=css/a.css|b.js|\nIsCompressHtml=0\nIsCompressJS=1\nIsCompressXML=1\n"
        "IsCompressCSS=0\nIsReducePic=1\nCharSet=GBK\nIsCompressJpg=1\nIsCompressGif=0\n"
        "IsCompressPng=1\nLevel=smallest\n");
    auto F = OpenWindow();
    QCOMPARE(F->edtRootPath->text(), QString("/srv/site/"));
    QCOMPARE(F->cbxLevel->currentIndex(), 2);
    QVERIFY(F->cbxLevel->toolTip().contains("逐字节"));
    QCOMPARE(F->edtOutputPath->text(), QString("/srv/out/"));
    QCOMPARE(F->edtFileFilters->text(), QString("*.bak|*.tmp|"));
    // Shown at once, so a run before the dialog is used keeps the list.
    QCOMPARE(F->edtCompressFilter->text(), QString("css/a.css|b.js|"));
    QVERIFY(!F->chkCompressHtml->isChecked());
    QVERIFY(F->chkCompressJS->isChecked());
    QVERIFY(F->chkCompressXML->isChecked());
    QVERIFY(!F->chkCompressCSS->isChecked());
    QVERIFY(F->chkReducePic->isChecked());
    QVERIFY(F->chkCompressJpg->isChecked());
    QVERIFY(!F->chkCompressGif->isChecked());
    QVERIFY(F->chkCompressPng->isChecked());
    QCOMPARE(F->cbxCharSet->currentText(), QString("GBK"));

    F->edtRootPath->setText("/data/网站/");
    F->edtOutputPath->setText("/data/输出/");
    F->chkCompressHtml->setChecked(true);
    F->chkCompressJS->setChecked(false);
    F->cbxCharSet->setCurrentIndex(4);
    F->cbxLevel->setCurrentIndex(0);
    QVERIFY(F->close());
    QVERIFY(F->Config() == nullptr);

    TAppConfig Saved(Home.ConfigFile(), true);
    Saved.SaveOnDestroy = false;
    QCOMPARE(Saved.RootPath, std::string("/data/网站/"));
    QCOMPARE(Saved.OutputPath, std::string("/data/输出/"));
    QCOMPARE(Saved.FileFilters, std::string("*.bak|*.tmp|"));
    QCOMPARE(Saved.CompressFilters, std::string("css/a.css|b.js|"));
    QVERIFY(Saved.IsCompressHtml);
    QVERIFY(!Saved.IsCompressJS);
    QVERIFY(Saved.IsCompressXML);
    QVERIFY(Saved.IsReducePic);
    QVERIFY(Saved.IsCompressJpg);
    QVERIFY(Saved.IsCompressPng);
    QCOMPARE(Saved.CharSet, std::string("UTF-8"));
    QCOMPARE(Saved.Level, TMinifyLevel::Spaces);
  }

  void JpegBoxSaysWhetherItsReductionIsLossyAndTheModeIsKept() {
    for (const bool Lossless : {false, true}) {
      TTestHome Home;
      TFakeDialogs Fake;
      Home.WriteConfig(Lossless ? "JpegMode=lossless\n" : "IsCompressJpg=1\n");
      auto F = OpenWindow();
      const QString Tip = F->chkCompressJpg->toolTip();
      QVERIFY2(Tip.contains(Lossless ? "无损" : "有损"), qPrintable(Tip));
      QVERIFY2(Lossless || Tip.contains("-m85"), qPrintable(Tip));
      QVERIFY(F->close());
      TAppConfig Saved(Home.ConfigFile(), true);
      Saved.SaveOnDestroy = false;
      QCOMPARE(Saved.IsJpegLossless(), Lossless);
    }
  }

  void UnknownCharSetSelectsNothingAndStoresEmpty() {
    TTestHome Home;
    TFakeDialogs Fake;
    // The match is exact: lower-case "utf-8" is not the item "UTF-8".
    Home.WriteConfig("CharSet=utf-8\n");
    auto F = OpenWindow();
    QCOMPARE(F->cbxCharSet->currentIndex(), -1);
    QCOMPARE(F->cbxCharSet->currentText(), QString());
    QVERIFY(F->close());
    TAppConfig Saved(Home.ConfigFile(), true);
    Saved.SaveOnDestroy = false;
    QCOMPARE(Saved.CharSet, std::string());
  }

  void StartRefusalsComeInOrderWithTheirTexts() {
    TTestHome Home;
    TFakeDialogs Fake;
    const std::string Site = Home.MakeFolder("Site");
    const std::string Out = Home.MakeFolder("out");
    const std::string Inner = Home.MakeFolder("Site/out");
    // Without trailing delimiters, as typed: "web" begins "web2".
    const std::string Web = Home.MakeFolder("web").substr(0, Home.Path().size() + 3);
    const std::string Web2 = Home.MakeFolder("web2").substr(0, Home.Path().size() + 4);
    const std::string Link = Home.Path() + "link-to-inner";
    QVERIFY(::symlink(Inner.c_str(), Link.c_str()) == 0);
    std::string Lower = Inner;
    Lower.replace(Lower.find("Site/"), 5, "site/");  // "D:\Site" and "d:\site\out"
    QDir().mkpath(QString::fromStdString(Lower));

    struct TCase {
      std::string Root, Output;
      const char* Expected;
    };
    const TCase Cases[] = {
        {Home.Path() + "missing/", Out, "网站根目录不存在！"},
        {"", Out, "网站根目录不存在！"},
        // Both missing: the root is named first.
        {Home.Path() + "missing/", Home.Path() + "nowhere/", "网站根目录不存在！"},
        // Only a full path is offered to be created (see the test below).
        {Site, "nowhere/", "输出目录不存在！"},
        {Site, "", "输出目录不存在！"},
        {Site, Site, "网站根目录和输出目录不能相同！"},
        {Site, Inner, "网站根目录和输出目录不能相同！"},
        {Inner, Site, "网站根目录和输出目录不能相同！"},
        {Site, Lower, "网站根目录和输出目录不能相同！"},
        {Web, Web2, "网站根目录和输出目录不能相同！"},
        // Through a link the texts differ, the folders do not.
        {Site, Link, "网站根目录和输出目录不能相同！"},
        {Link, Site, "网站根目录和输出目录不能相同！"},
        {Site, Out, "无可处理压缩选项！"},
    };
    auto F = OpenWindow();
    SetAllOptions(*F, false);
    for (const TCase& C : Cases) {
      Fake.Clear();
      F->edtRootPath->setText(QString::fromStdString(C.Root));
      F->edtOutputPath->setText(QString::fromStdString(C.Output));
      F->btnStart->click();
      QVERIFY2(Fake.Texts() == QStringList{QString(C.Expected)},
               qPrintable(QString::fromStdString(C.Root + " | " + C.Output) + ": " +
                          Fake.Texts().join(" / ")));
      QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Warning);
      QCOMPARE(Fake.Messages[0].Caption, QString("Vellimor"));
      QVERIFY(!F->IsRunning());
      QVERIFY(F->btnStart->isEnabled());
      QVERIFY(F->edtRootPath->isEnabled());
      QCOMPARE(F->pgsMain->value(), 0);
    }
    F->close();
  }

  void RefusedStartKeepsTheValuesStoredBeforeTheRefusal() {
    TTestHome Home;
    TFakeDialogs Fake;
    Home.WriteConfig("CharSet=GBK\nIsCompressHtml=1\nCompressFilters=old.css|\n");
    const std::string Site = Home.MakeFolder("site");
    const std::string Out = Home.MakeFolder("out");
    auto F = OpenWindow();

    // Refused before the values are taken: nothing changes.
    SetAllOptions(*F, false);
    F->edtRootPath->setText(QString::fromStdString(Home.Path() + "missing"));
    F->btnStart->click();
    QVERIFY(F->Config()->IsCompressHtml);
    QCOMPARE(F->Config()->CharSet, std::string("GBK"));

    // Refused for want of an option: the cleared switches, the empty
    // character set and both summaries are in the settings, and stay there.
    F->edtRootPath->setText(QString::fromStdString(Site));
    F->edtOutputPath->setText(QString::fromStdString(Out));
    F->cbxCharSet->setCurrentIndex(-1);
    F->edtFileFilters->setText("*.log|");
    F->edtCompressFilter->setText("new.js|");
    F->btnStart->click();
    QCOMPARE(Fake.Texts().last(), QString("无可处理压缩选项！"));
    QVERIFY(!F->Config()->IsCompressHtml);
    QCOMPARE(F->Config()->CharSet, std::string());
    QCOMPARE(F->Config()->FileFilters, std::string("*.log|"));
    QCOMPARE(F->Config()->CompressFilters, std::string("new.js|"));
    QVERIFY(F->close());

    TAppConfig Saved(Home.ConfigFile(), true);
    Saved.SaveOnDestroy = false;
    QVERIFY(!Saved.IsCompressHtml);
    QCOMPARE(Saved.CompressFilters, std::string("new.js|"));
    QCOMPARE(Saved.FileFilters, std::string("*.log|"));
  }

  void EngineThatCannotStartIsReportedAsARefusal() {
    TTestHome Home;
    TFakeDialogs Fake;
    const std::string Site = Home.MakeFolder("site");
    const std::string Out = Home.MakeFolder("out");
    // Only the archive compressor needs Java.
    Home.WriteConfig("Compressor=archive\n");
    auto F = OpenWindow();
    F->edtRootPath->setText(QString::fromStdString(Site));
    F->edtOutputPath->setText(QString::fromStdString(Out));
    // No Java runtime to be found: the engine cannot be made.
    const QByteArray OldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(Home.MakeFolder("empty-bin")));
    F->btnStart->click();
    qputenv("PATH", OldPath);
    QCOMPARE(Fake.Texts(), QStringList{"请安装java运行环境！"});
    QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Warning);
    QVERIFY(!F->IsRunning());
    QVERIFY(F->btnStart->isEnabled());
    QVERIFY(F->gbxCompress->isEnabled());
    QCOMPARE(F->pgsMain->value(), 0);
    QVERIFY(F->close());
  }

  void OutputLockedByAnotherRunIsRefusedWithItsText() {
    TTestHome Home;
    TFakeDialogs Fake;
    Home.WriteFile("site/index.txt", "i");
    const std::string Site = Home.Path() + "site";
    const std::string Out = Home.MakeFolder("out");
    // Another run holds the output folder.
    const int Other = ::open(Out.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(Other >= 0 && ::flock(Other, LOCK_EX) == 0);
    auto F = OpenForRun(Site, Out, &TfrmLarkspan::chkCompressHtml);
    F->btnStart->click();
    ::close(Other);
    QCOMPARE(Fake.Messages.size(), 1);
    QVERIFY2(Fake.Messages[0].Text.startsWith("输出目录正被另一个任务使用"),
             qPrintable(Fake.Messages[0].Text));
    QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Warning);
    QVERIFY(!F->IsRunning());
    QVERIFY(F->btnStart->isEnabled());
    QVERIFY(!QFile::exists(QString::fromStdString(Out + "/index.txt")));
    QVERIFY(F->close());
  }

  void ReportNamesWhatWasSkippedUnread() {
    TTestHome Home;
    TFakeDialogs Fake;
    Home.WriteFile("site/index.txt", "i");
    const std::string Site = Home.Path() + "site";
    QVERIFY(::mkfifo((Site + "/pipe").c_str(), 0644) == 0);
    const std::string Out = Home.MakeFolder("out");
    auto F = OpenForRun(Site, Out, &TfrmLarkspan::chkCompressJpg);
    F->btnStart->click();
    WaitForRunEnd(*F);
    QCOMPARE(Fake.Messages.size(), size_t(1));
    const QString Report = Fake.Messages[0].Text;
    QVERIFY2(Report.startsWith("任务已完成："), qPrintable(Report));
    QVERIFY2(Report.contains("有 1 个项目未读取"), qPrintable(Report));
    QVERIFY2(Report.contains(QString::fromStdString(Site + "/pipe")), qPrintable(Report));
    QVERIFY(F->close());
  }

  void StaleFilesAreRemovedOnlyWhenTickedAndConfirmed() {
    TTestHome Home;
    TFakeDialogs Fake;
    Home.WriteFile("site/a.html", "<p>a</p>");
    Home.WriteFile("out/gone.html", "<p>deleted from the site</p>");
    Home.WriteFile("out/old/gone.css", "p{}");
    const std::string Site = Home.Path() + "site";
    const std::string Out = Home.Path() + "out";
    auto F = OpenForRun(Site, Out, &TfrmLarkspan::chkCompressHtml);
    QVERIFY(!F->chkDeleteStale->isChecked());  // off at every start
    // Unticked: counted in the report, nothing asked, nothing removed.
    F->btnStart->click();
    WaitForRunEnd(*F);
    QCOMPARE(Fake.Messages.size(), size_t(1));
    QVERIFY2(Fake.Messages[0].Text.contains("输出目录中有 2 个文件不是本次写出的"),
             qPrintable(Fake.Messages[0].Text));
    QVERIFY(QFile::exists(QString::fromStdString(Out + "/gone.html")));
    // Ticked: asked with the count; No keeps them, Yes removes them.
    F->chkDeleteStale->setChecked(true);
    for (const TMsgResult Answer : {TMsgResult::No, TMsgResult::Yes}) {
      Fake.Clear();
      Fake.MessageAnswers = {Answer, TMsgResult::No};
      F->btnStart->click();
      WaitForRunEnd(*F);
      QCOMPARE(Fake.Messages.size(), size_t(2));
      QVERIFY2(Fake.Messages[0].Text.contains("是否删除这 2 个文件"),
               qPrintable(Fake.Messages[0].Text));
      QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Question);
      QCOMPARE(QFile::exists(QString::fromStdString(Out + "/gone.html")), Answer == TMsgResult::No);
    }
    QVERIFY2(Fake.Messages[1].Text.contains("已从输出目录删除 2 个"),
             qPrintable(Fake.Messages[1].Text));
    QVERIFY(!QDir(QString::fromStdString(Out + "/old")).exists());
    QVERIFY(QFile::exists(QString::fromStdString(Out + "/a.html")));
    QVERIFY(F->close());
    // The box is not a setting: a new window starts with it off.
    auto Again = OpenWindow();
    QVERIFY(!Again->chkDeleteStale->isChecked());
    QVERIFY(Again->close());
  }

  void RealRunReportsTheSavedSpaceAndReturnsToIdle() {
    TTestHome Home;
    TFakeDialogs Fake;
    Home.WriteFile("site/index.html",
                   "<html><body><img src=\"a.png\"><img src=\"b.png\"></body></html>");
    Home.WriteFile("site/a.png", PngBytes(1));
    Home.WriteFile("site/b.png", PngBytes(2));
    Home.WriteFile("site/docs/readme.txt", std::string(3000, 'x'));
    Home.WriteFile("site/docs/old.bak", std::string(5000, 'y'));
    const std::string Site = Home.Path() + "site";
    const std::string Out = Home.MakeFolder("out");

    auto F = OpenForRun(Site, Out, &TfrmLarkspan::chkReducePic);
    F->edtFileFilters->setText("*.bak|");
    QSignalSpy Progress(F->pgsMain, &QProgressBar::valueChanged);
    // The engine's callbacks must reach the gauge on the window's thread.
    bool OffThread = false;
    connect(
        F->pgsMain, &QProgressBar::valueChanged, F.get(),
        [&] { OffThread |= QThread::currentThread() != qApp->thread(); }, Qt::DirectConnection);

    F->btnStart->click();
    QVERIFY2(Fake.Messages.empty(), qPrintable(Fake.Texts().join(" / ")));
    QVERIFY(F->IsRunning());
    // Running: the inputs are locked, the file filters and about stay usable.
    QVERIFY(!F->edtRootPath->isEnabled());
    QVERIFY(!F->btnSelectRoot->isEnabled());
    QVERIFY(!F->edtOutputPath->isEnabled());
    QVERIFY(!F->btnSelectOutput->isEnabled());
    // The start button stops the run meanwhile.
    QVERIFY(F->btnStart->isEnabled());
    QCOMPARE(F->btnStart->text(), QString("停止"));
    QVERIFY(!F->chkReducePic->isEnabled());
    QVERIFY(!F->cbxCharSet->isEnabled());
    QVERIFY(!F->cbxLevel->isEnabled());
    QVERIFY(!F->btnCompressFilter->isEnabled());
    QVERIFY(F->btnFileFilters->isEnabled());
    QVERIFY(F->edtFileFilters->isEnabled());
    QVERIFY(F->btnAbout->isEnabled());
    // Closing now asks whether to stop; No keeps the run and the window.
    QVERIFY(!F->close());
    QCOMPARE(Fake.Texts(), QStringList{"任务正在执行，是否停止任务并关闭窗口？"});
    QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Question);
    QVERIFY(F->Config() != nullptr);
    QVERIFY(F->isVisible());
    QVERIFY(ShowsIcon(F->btnStart, ":/icons/stop.svg"));
    Fake.Clear();
    // 详细信息 first: the results window opens over the report, which then
    // still takes the answer.
    Fake.MessageAnswers = {TMsgResult::Details, TMsgResult::Yes};
    int Rows = -1;
    QString StartWhileReporting;
    WhenModal<TfrmResults>([&](TfrmResults* R) {
      Rows = R->tblResults->rowCount();
      StartWhileReporting = F->btnStart->text();
      R->btnClose->click();
    });

    WaitForRunEnd(*F);
    QVERIFY(QFile::exists(QString::fromStdString(Out + "index.html")));
    QVERIFY(QFile::exists(QString::fromStdString(Out + "b.png")));
    QVERIFY(QFile::exists(QString::fromStdString(Out + "docs/readme.txt")));
    QVERIFY(!QFile::exists(QString::fromStdString(Out + "docs/old.bak")));

    int Highest = 0;
    for (const QList<QVariant>& Args : Progress) Highest = std::max(Highest, Args[0].toInt());
    QCOMPARE(Highest, 100);
    QVERIFY(!OffThread);
    const int64_t Saved =
        TreeSize(QString::fromStdString(Site)) - TreeSize(QString::fromStdString(Out));
    // One box: the report, then the offer to open the folder, answered Yes.
    QCOMPARE(Fake.Messages.size(), size_t(1));
    QCOMPARE(Fake.Messages[0].Text, QString::fromStdString(SuccessReport(true, 0, Saved)) +
                                        "\n\n是否要立即打开输出目录查看文件？");
    QVERIFY(Fake.Messages[0].Text.startsWith("任务已完成：共0个文件出现重复，为您省下"));
    QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Information);
    QCOMPARE(Fake.Messages[0].Buttons, TMsgButtons::YesNoDetails);
    QCOMPARE(Fake.OpenedFolders, QStringList{QString::fromStdString(Out)});
    // Every file of the site has its record, the filtered one too.
    QCOMPARE(F->LastResults().size(), size_t(5));
    QCOMPARE(Rows, 5);
    // While the report is open the run is over: nothing offers to stop it.
    QCOMPARE(StartWhileReporting, QString("生成"));

    QVERIFY(F->btnStart->isEnabled());
    QCOMPARE(F->btnStart->text(), QString("生成"));
    QVERIFY(ShowsIcon(F->btnStart, ":/icons/start.svg"));
    // The line under the gauge tells how the run ended, not its last file.
    QVERIFY2(
        QRegularExpression("^\\[(\\d+)/\\1\\] 已完成$").match(F->lblCurrentFile->text()).hasMatch(),
        qPrintable(F->lblCurrentFile->text()));
    QVERIFY(F->edtRootPath->isEnabled());
    QVERIFY(F->chkReducePic->isEnabled());
    QCOMPARE(F->pgsMain->value(), 0);
    QVERIFY(F->close());
  }

  void FailedRunShowsTheErrorAndStillOffersTheFolder() {
    TTestHome Home;
    TFakeDialogs Fake;
    Home.WriteFile("site/sub/page.txt", "text");
    // A file where the copy needs a folder: the run cannot write sub/page.txt.
    Home.WriteFile("out/sub", "in the way");
    auto F = OpenForRun(Home.Path() + "site/", Home.Path() + "out/", &TfrmLarkspan::chkReducePic);
    F->btnStart->click();
    QVERIFY(F->IsRunning());
    WaitForRunEnd(*F);

    QCOMPARE(Fake.Messages.size(), size_t(1));
    const QString Report = Fake.Messages[0].Text;
    QVERIFY2(Report.startsWith("任务执行失败："), qPrintable(Report));
    QVERIFY(!Report.startsWith("任务执行失败：\n"));  // the error's own text follows
    QVERIFY(Report.endsWith("\n\n是否要立即打开输出目录查看文件？"));
    QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Error);
    QVERIFY(Fake.OpenedFolders.isEmpty());  // answered No
    QVERIFY2(F->lblCurrentFile->text().endsWith("] 任务执行失败"),
             qPrintable(F->lblCurrentFile->text()));
    QVERIFY(F->btnStart->isEnabled());
    QCOMPARE(F->pgsMain->value(), 0);
    QVERIFY(F->close());
  }

  void HandOffRunsOnTheWindowThreadAndPassesErrorsBack() {
    std::atomic<bool> Done{false};
    bool RanOnMain = false;
    std::string Caught;
    std::thread Worker([&] {
      try {
        MainThreadDispatcher()->RunOnMainThread([&] {
          RanOnMain = QThread::currentThread() == qApp->thread();
          throw Exception("失败");
        });
      } catch (const Exception& E) {
        Caught = E.what();
      }
      Done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(Done.load(), 10000);
    Worker.join();
    QVERIFY(RanOnMain);
    QCOMPARE(Caught, std::string("失败"));
    // On the window's thread itself the callable runs at once.
    bool Direct = false;
    MainThreadDispatcher()->RunOnMainThread([&] { Direct = true; });
    QVERIFY(Direct);
  }

  void ProgressIsClampedToTheGauge() {
    TTestHome Home;
    TFakeDialogs Fake;
    auto F = OpenWindow();
    const int Cases[][2] = {{42, 42}, {150, 100}, {-5, 0}, {100, 100}, {0, 0}};
    for (const auto& C : Cases) {
      F->EngineProgress(nullptr, C[0]);
      QCOMPARE(F->pgsMain->value(), C[1]);
      QCOMPARE(F->pgsMain->text(), QString::number(C[1]) + "%");
    }
    F->close();
  }

  void FolderPickersOpenOnTheBoxAndKeepItOnCancel() {
    TTestHome Home;
    TFakeDialogs Fake;
    Home.WriteConfig("RootPath=/srv/site/\nOutputPath=/srv/out/\n");
    auto F = OpenWindow();

    Fake.FolderAnswers = {QString("/home/me/网站"), std::nullopt, QString("/"), std::nullopt};
    F->btnSelectRoot->click();
    QCOMPARE(Fake.FolderRequests[0].Title, QString("请选择网站根目录。"));
    QCOMPARE(Fake.FolderRequests[0].InitialFolder, QString("/srv/site/"));
    QCOMPARE(F->edtRootPath->text(), QString("/home/me/网站/"));
    F->btnSelectRoot->click();  // cancelled
    QCOMPARE(F->edtRootPath->text(), QString("/home/me/网站/"));

    F->btnSelectOutput->click();
    QCOMPARE(Fake.FolderRequests[2].Title, QString("请选择输出路径。"));
    QCOMPARE(Fake.FolderRequests[2].InitialFolder, QString("/srv/out/"));
    QCOMPARE(F->edtOutputPath->text(), QString("/"));  // no doubled delimiter
    F->btnSelectOutput->click();                       // cancelled
    QCOMPARE(F->edtOutputPath->text(), QString("/"));

    // Closing after a cancelled picker keeps the user's folders.
    QVERIFY(F->close());
    TAppConfig Saved(Home.ConfigFile(), true);
    Saved.SaveOnDestroy = false;
    QCOMPARE(Saved.RootPath, std::string("/home/me/网站/"));
    QCOMPARE(Saved.OutputPath, std::string("/"));
  }

  void ExceptionFileButtonNeedsAnExistingRoot() {
    TTestHome Home;
    TFakeDialogs Fake;
    auto F = OpenWindow();
    for (const std::string& Root : {std::string(), Home.Path() + "missing"}) {
      Fake.Clear();
      F->edtRootPath->setText(QString::fromStdString(Root));
      F->btnCompressFilter->click();
      QCOMPARE(Fake.Texts(), QStringList{"请设置网站根目录！"});
      QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Information);
      QVERIFY(Fake.FileRequests.empty());
    }
    F->close();
  }

  void SettingsThatCannotBeWrittenAreReportedAtClose() {
    TTestHome Home;
    TFakeDialogs Fake;
    auto F = OpenWindow();
    // A folder where the settings file should be.
    QDir().mkpath(QString::fromStdString(Home.ConfigFile()));
    QVERIFY(F->close());
    QCOMPARE(Fake.Messages.size(), size_t(1));
    QVERIFY2(Fake.Messages[0].Text.contains("Unable to write to"),
             qPrintable(Fake.Messages[0].Text));
    QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Error);
  }

  void StopButtonEndsASlowRunAndTheReportSaysHowFarItGot() {
    TTestHome Home;
    TFakeDialogs Fake;
    const TFakeGifsicle Slow(Home);
    Home.WriteFile("site/a.gif", "GIF89a-one");
    Home.WriteFile("site/b.gif", "GIF89a-two");
    Home.WriteFile("site/c.txt", "text");
    const std::string Out = Home.MakeFolder("out");
    auto F = OpenForRun(Home.Path() + "site", Out, &TfrmLarkspan::chkCompressGif);
    F->btnStart->click();
    QVERIFY2(Fake.Messages.empty(), qPrintable(Fake.Texts().join(" / ")));
    QTRY_VERIFY_WITH_TIMEOUT(Slow.Started(), 20000);
    // The file being written is named under the gauge.
    QTRY_VERIFY(F->lblCurrentFile->text().contains(".gif"));
    QVERIFY(F->lblCurrentFile->text().startsWith("["));

    F->btnStart->click();  // 停止
    WaitForRunEnd(*F);
    QCOMPARE(Fake.Messages.size(), size_t(1));
    QVERIFY2(Fake.Messages[0].Text.startsWith("任务已停止：已处理"),
             qPrintable(Fake.Messages[0].Text));
    QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Information);
    QVERIFY(Fake.OpenedFolders.isEmpty());
    QVERIFY2(
        QRegularExpression("^\\[\\d+/3\\] 已停止$").match(F->lblCurrentFile->text()).hasMatch(),
        qPrintable(F->lblCurrentFile->text()));
    // 详细信息 only where something was done before the stop.
    QVERIFY(F->LastResults().size() < 3);
    QCOMPARE(Fake.Messages[0].Buttons,
             F->LastResults().empty() ? TMsgButtons::YesNo : TMsgButtons::YesNoDetails);
    // The program was ended with its group; no half picture is left.
    QTRY_VERIFY_WITH_TIMEOUT(Slow.Gone(), 10000);
    for (const QString& Name :
         QDir(QString::fromStdString(Out)).entryList(QDir::Files | QDir::Hidden))
      QVERIFY2(Name == "c.txt", qPrintable(Name));
    QCOMPARE(F->btnStart->text(), QString("生成"));
    QVERIFY(F->close());
  }

  void ClosingDuringARunStopsItOnYesAndClosesWhenItEnds() {
    TTestHome Home;
    TFakeDialogs Fake;
    const TFakeGifsicle Slow(Home);
    Home.WriteFile("site/a.gif", "GIF89a-one");
    const std::string Out = Home.MakeFolder("out");
    auto F = OpenForRun(Home.Path() + "site", Out, &TfrmLarkspan::chkCompressGif);
    F->btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(Slow.Started(), 20000);
    Fake.MessageAnswers = {TMsgResult::Yes};
    QVERIFY(!F->close());  // not yet: the engine still reads the settings
    QCOMPARE(Fake.Texts(), QStringList{"任务正在执行，是否停止任务并关闭窗口？"});
    QTRY_VERIFY_WITH_TIMEOUT(!F->isVisible(), 20000);
    TThread::WaitForAllThreads();
    QVERIFY(F->Config() == nullptr);            // closed and saved
    QCOMPARE(Fake.Messages.size(), size_t(1));  // no report for a run stopped to close
    QVERIFY(QFile::exists(QString::fromStdString(Home.ConfigFile())));
    QTRY_VERIFY_WITH_TIMEOUT(Slow.Gone(), 10000);
  }

  void MissingOptimiserIsSaidBeforeTheRunAndInTheReport() {
    const QByteArray Java = FindOnPath("java");
    if (Java.isEmpty()) QSKIP("no Java runtime");
    TTestHome Home;
    TFakeDialogs Fake;
    // A PATH with the Java launcher and no optimiser.
    const std::string Bin = Home.MakeFolder("bin");
    QVERIFY(QFile::link(QString::fromUtf8(Java), QString::fromStdString(Bin + "java")));
    const QByteArray OldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(Bin));
    Home.WriteFile("site/a.gif", "GIF89a-one");
    auto F =
        OpenForRun(Home.Path() + "site", Home.MakeFolder("out"), &TfrmLarkspan::chkCompressGif);
    F->btnStart->click();
    WaitForRunEnd(*F);
    qputenv("PATH", OldPath);
    QCOMPARE(Fake.Messages.size(), size_t(2));
    QCOMPARE(Fake.Messages[0].Text, QString("未找到gifsicle：GIF图片将原样复制。"));
    QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Warning);
    QVERIFY(Fake.Messages[1].Text.startsWith("任务已完成：为您省下"));
    QVERIFY(Fake.Messages[1].Text.endsWith(
        "\n未找到gifsicle：GIF图片将原样复制。\n\n是否要立即打开输出目录查看文件？"));
    QCOMPARE(F->LastResults().at(0).Reason, TFileReason::ToolMissing);
    QVERIFY(F->close());
  }

  void FolderDroppedOnAPathBoxBecomesItsText() {
    TTestHome Home;
    TFakeDialogs Fake;
    const std::string Folder = Home.MakeFolder("我的 网站");
    const std::string File = Home.WriteFile("note.txt", "x");
    auto F = OpenWindow();
    struct Case {
      QList<QUrl> Urls;
      QString Text;
      QString Want;  // the box's text afterwards
    } Cases[] = {
        {{QUrl::fromLocalFile(QString::fromStdString(Folder))}, "", QString::fromStdString(Folder)},
        {{},
         QUrl::fromLocalFile(QString::fromStdString(Folder)).toString(),
         QString::fromStdString(Folder)},
        {{QUrl::fromLocalFile(QString::fromStdString(File))}, "", "before"},
        {{QUrl::fromLocalFile(QString::fromStdString(Folder)), QUrl::fromLocalFile("/tmp")},
         "",
         "before"},
        {{QUrl("https://example.org/site/")}, "", "before"},
    };
    for (QLineEdit* Box : {F->edtRootPath, F->edtOutputPath}) {
      for (const Case& C : Cases) {
        Box->setText("before");
        QMimeData Data;
        if (!C.Urls.isEmpty()) Data.setUrls(C.Urls);
        if (!C.Text.isEmpty()) Data.setText(C.Text);
        const QPoint At = Box->rect().center();
        QDragEnterEvent Enter(At, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Box, &Enter);
        QCOMPARE(Enter.isAccepted(), C.Want != "before");
        QDropEvent Drop(At, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Box, &Drop);
        QCOMPARE(Box->text(), C.Want);
      }
    }
    F->close();
  }

  void MissingOutputFolderIsOfferedAndMadeOnlyForARunThatStarts() {
    const QString Offer = "输出目录不存在！\n是否创建此目录并开始生成？";
    struct TCase {
      const char* Name;
      const char* Output;  // below the test home; "site/..." lies in the site
      TMsgResult Answer;
      bool AnyOption;
      const char* Then;  // the box after the offer ("" none; "report" the run's)
      bool Made;
    };
    const TCase Cases[] = {
        {"no leaves it", "new/deeper/", TMsgResult::No, true, "", false},
        {"yes makes it and runs", "new/deeper/", TMsgResult::Yes, true, "report", true},
        // Never a folder inside the site, whatever the answer.
        {"inside the site", "site/new/", TMsgResult::Yes, true, "网站根目录和输出目录不能相同！",
         false},
        {"nothing to do", "new/", TMsgResult::Yes, false, "无可处理压缩选项！", false},
        // A file stands where a folder must go: refused, with the reason.
        {"cannot be made", "blocker/new/", TMsgResult::Yes, true, "创建目录失败", false},
    };
    for (const TCase& C : Cases) {
      TTestHome Home;
      TFakeDialogs Fake;
      Home.WriteFile("site/index.txt", "text");
      Home.WriteFile("blocker", "a file");
      const std::string Out = Home.Path() + C.Output;
      auto F = OpenForRun(Home.Path() + "site/", Out, &TfrmLarkspan::chkReducePic);
      F->chkReducePic->setChecked(C.AnyOption);
      Fake.MessageAnswers = {C.Answer};
      F->btnStart->click();
      WaitForRunEnd(*F);
      const QStringList Texts = Fake.Texts();
      QVERIFY2(!Texts.isEmpty() && Texts[0] == Offer, C.Name);
      QCOMPARE(Fake.Messages[0].Buttons, TMsgButtons::YesNo);
      const QString Then = QString::fromUtf8(C.Then);
      if (Then.isEmpty())
        QVERIFY2(Texts.size() == 1, C.Name);
      else if (Then == "report")
        QVERIFY2(Texts.size() == 2 && Texts[1].startsWith("任务已完成："), C.Name);
      else
        QVERIFY2(Texts.size() == 2 && Texts[1].startsWith(Then), C.Name);
      QVERIFY2(QFileInfo::exists(QString::fromStdString(Out)) == C.Made, C.Name);
      if (C.Made) QVERIFY(QFile::exists(QString::fromStdString(Out + "index.txt")));
      QVERIFY(F->btnStart->isEnabled());
      QVERIFY(F->close());
    }
  }

  void DetailsButtonOpensTheDetailsAndLeavesTheQuestionOpen() {
    int DetailsShown = 0;
    TMessageRequest R;
    R.Text = "任务已完成\n\n是否要立即打开输出目录查看文件？";
    R.Buttons = TMsgButtons::YesNoDetails;
    R.OnDetails = [&] { ++DetailsShown; };
    const auto Box = MakeMessageBox(R);
    Box->show();
    QVERIFY(QTest::qWaitForWindowExposed(Box.get()));
    auto* Details = Box->findChild<QPushButton*>("btnDetails");
    QVERIFY(Details);
    Details->click();
    Details->click();
    QCOMPARE(DetailsShown, 2);
    QVERIFY(Box->isVisible());  // the question is still to be answered
    QCOMPARE(Box->defaultButton(), Box->button(QMessageBox::Yes));
    Box->button(QMessageBox::Yes)->click();
    QVERIFY(!Box->isVisible());
    QCOMPARE(Box->result(), int(QMessageBox::Yes));
  }

  void EachButtonHasItsOwnIconAndTheJpgBoxSaysItIsLossy() {
    TTestHome Home;
    TFakeDialogs Fake;
    auto F = OpenWindow();
    QVERIFY(ShowsIcon(F->btnStart, ":/icons/start.svg"));
    QVERIFY(ShowsIcon(F->btnAbout, ":/icons/info.svg"));
    // Start, stop, about and the OK buttons' tick all look different.
    const char* const Icons[] = {":/icons/start.svg", ":/icons/stop.svg", ":/icons/info.svg",
                                 ":/icons/tick.svg"};
    for (const char* A : Icons)
      for (const char* B : Icons)
        if (A != B)
          QVERIFY2(QIcon(A).pixmap(24, 24).toImage() != QIcon(B).pixmap(24, 24).toImage(),
                   qPrintable(QString("%1 %2").arg(A, B)));
    F->ShowRunState(true);
    QCOMPARE(F->btnStart->text(), QString("停止"));
    QVERIFY(ShowsIcon(F->btnStart, ":/icons/stop.svg"));
    F->ShowRunState(false);
    QVERIFY(ShowsIcon(F->btnStart, ":/icons/start.svg"));

    const QString Tip = F->chkCompressJpg->toolTip();
    for (const char* Word : {"有损", "85", "EXIF"})
      QVERIFY2(Tip.contains(QString::fromUtf8(Word)), qPrintable(Tip));
    F->close();
  }

  void KeyboardReachesTheToolButtonsAndTheBoxButtonsHaveMnemonics() {
    TTestHome Home;
    TFakeDialogs Fake;
    auto F = OpenWindow();
    F->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(F.get()));
    for (QToolButton* B :
         {F->btnSelectRoot, F->btnCompressFilter, F->btnFileFilters, F->btnSelectOutput}) {
      QCOMPARE(B->focusPolicy(), Qt::StrongFocus);
      B->setFocus(Qt::TabFocusReason);
      QVERIFY(B->hasFocus());
    }
    struct Case {
      TMsgButtons Buttons;
      QStringList Texts;
    } Cases[] = {
        {TMsgButtons::Ok, {"确定(&O)"}},
        {TMsgButtons::YesNo, {"是(&Y)", "否(&N)"}},
        {TMsgButtons::YesNoDetails, {"是(&Y)", "否(&N)", "详细信息(&D)"}},
    };
    for (const Case& C : Cases) {
      TMessageRequest R;
      R.Text = "x";
      R.Buttons = C.Buttons;
      const auto Box = MakeMessageBox(R);
      QStringList Texts;
      for (QAbstractButton* B : Box->buttons()) Texts << B->text();
      Texts.sort();
      QStringList Want = C.Texts;
      Want.sort();
      QCOMPARE(Texts, Want);
    }
    F->close();
  }

 private:
  std::unique_ptr<TScopedQtDispatcher> Dispatcher;
};

}  // namespace larkspan

QTEST_MAIN(larkspan::TfrmLarkspanTest)
#include "Main_test.moc"
