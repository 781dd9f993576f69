// The exception-file dialog on its own and opened from the main window.
#include "ui/CompressFilter.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "config/uConfig.h"
#include "ui/FakeDialogs.h"
#include "ui/ListBox.h"
#include "ui/Main.h"
#include "ui/TestSupport.h"

namespace larkspan {

class TfrmCompressFiltersTest : public QObject {
  Q_OBJECT

 private slots:
  void OpensOnTheRootWithTheStoredList() {
    TTestHome Home;
    TAppConfig Config(Home.ConfigFile(), false);
    Config.SaveOnDestroy = false;
    Config.CompressFilters = "css/main.css|index.html|";
    const std::string Site = Home.MakeFolder("site");
    for (const std::string& Root : {Site, Site.substr(0, Site.size() - 1)}) {
      TfrmCompressFilters D(Root, &Config);
      QCOMPARE(D.Root(), Site);
      QCOMPARE(D.dlgOpen1.InitialFolder, QString::fromStdString(Site));
      QCOMPARE(D.dlgOpen1.Title, QString("选择例外文件"));
      QCOMPARE(D.windowTitle(), QString("设置例外文件"));
      QCOMPARE(D.size(), QSize(355, 255));
      QCOMPARE(D.sLabel1->text(), QString("不需要压缩的文件："));
      QCOMPARE(D.btnAdd->toolTip(), QString("添加"));
      QCOMPARE(D.btnRemove->toolTip(), QString("移除"));
      QCOMPARE(Rows(D.lbxRelaFile), QStringList({"css/main.css", "index.html"}));
      QCOMPARE(D.lbxRelaFile->SelectedIndex(), -1);
      QVERIFY(!D.btnRemove->isEnabled());
    }
  }

  void AddKeepsFilesBelowTheRootAsRelativeNames() {
    TTestHome Home;
    TFakeDialogs Fake;
    TAppConfig Config(Home.ConfigFile(), false);
    Config.SaveOnDestroy = false;
    const std::string H = Home.Path();
    // Typed in other letter case than the folder the file dialog reports.
    TfrmCompressFilters D(H + "Site", &Config);
    D.show();

    const QString Refusal = "请选择网站根目录下的子文件！";
    struct TCase {
      std::deque<std::optional<QString>> Chosen;  // what the user confirms, in turn
      QStringList Rows;
      int Selected;
      int Refusals;
    };
    auto P = [&](const char* Rel) {
      return std::optional<QString>(QString::fromStdString(H + Rel));
    };
    const TCase Cases[] = {
        {{P("site/css/main.css")}, {"css/main.css"}, 0, 0},
        {{P("site/index.html")}, {"css/main.css", "index.html"}, 1, 0},
        // A sibling folder that merely begins with the root's name.
        {{P("site2/a.css"), std::nullopt}, {"css/main.css", "index.html"}, 1, 1},
        // Refused, the dialog stays open, the next choice is taken.
        {{P("other/x.js"), P("site/js/x.js")}, {"css/main.css", "index.html", "js/x.js"}, 2, 1},
        // Already listed in other case: selected, not added.
        {{P("SITE/CSS/MAIN.CSS")}, {"css/main.css", "index.html", "js/x.js"}, 0, 0},
        {{std::nullopt}, {"css/main.css", "index.html", "js/x.js"}, 0, 0},
    };
    for (const TCase& C : Cases) {
      Fake.Clear();
      Fake.FileAnswers = C.Chosen;
      D.btnAdd->click();
      QCOMPARE(Rows(D.lbxRelaFile), C.Rows);
      QCOMPARE(D.lbxRelaFile->SelectedIndex(), C.Selected);
      QVERIFY(D.btnRemove->isEnabled());
      QCOMPARE(Fake.Messages.size(), size_t(C.Refusals));
      for (const TMessageRequest& M : Fake.Messages) {
        QCOMPARE(M.Text, Refusal);
        QCOMPARE(M.Icon, TMsgIcon::Information);
      }
    }

    D.btnRemove->click();
    QCOMPARE(Rows(D.lbxRelaFile), QStringList({"index.html", "js/x.js"}));
    QVERIFY(!D.btnRemove->isEnabled());
    D.btnRemove->setEnabled(true);
    D.btnRemove->click();  // nothing selected: nothing removed
    QCOMPARE(Rows(D.lbxRelaFile), QStringList({"index.html", "js/x.js"}));
  }

  void CloseCheckComparesTheRootPrefix() {
    TTestHome Home;
    TFakeDialogs Fake;
    TAppConfig Config(Home.ConfigFile(), false);
    Config.SaveOnDestroy = false;
    const std::string H = Home.Path();
    TfrmCompressFilters D(H + "web/", &Config);
    const std::pair<std::string, bool> Cases[] = {
        {H + "web/a.css", true}, {H + "WEB/Sub/b.js", true}, {H + "web2/a.css", false},
        {H + "we", false},       {H + "web", false},         {"/elsewhere/web/a.css", false},
    };
    for (const auto& [File, Ok] : Cases) QCOMPARE(D.dlgOpen1CanClose(File), Ok);
    QCOMPARE(Fake.Messages.size(), size_t(4));
  }

  void MainWindowStoresTheListOnOkOnly() {
    TTestHome Home;
    TFakeDialogs Fake;
    const std::string Site = Home.MakeFolder("site");
    Home.WriteConfig("RootPath=" + Site + "\nCompressFilters=a.css|\n");
    TfrmLarkspan F;
    F.show();

    Fake.FileAnswers = {QString::fromStdString(Site + "b.js")};
    WhenDialogOpens<TfrmCompressFilters>([](TfrmCompressFilters* D) {
      D->btnAdd->click();
      D->lbxRelaFile->SelectIndex(0);
      D->btnRemoveClick();
      QCOMPARE(Rows(D->lbxRelaFile), QStringList{"b.js"});
      D->reject();  // the close box
    });
    F.btnCompressFilter->click();
    QCOMPARE(F.edtCompressFilter->text(), QString("a.css|"));
    QCOMPARE(F.Config()->CompressFilters, std::string("a.css|"));

    Fake.FileAnswers = {QString::fromStdString(Site + "js/b.js")};
    WhenDialogOpens<TfrmCompressFilters>([](TfrmCompressFilters* D) {
      D->btnAdd->click();
      D->sBitBtn1->click();
    });
    F.btnCompressFilter->click();
    QCOMPARE(F.edtCompressFilter->text(), QString("a.css|js/b.js|"));
    QCOMPARE(F.Config()->CompressFilters, std::string("a.css|js/b.js|"));
    QVERIFY(F.close());
    TAppConfig Saved(Home.ConfigFile(), true);
    Saved.SaveOnDestroy = false;
    QCOMPARE(Saved.CompressFilters, std::string("a.css|js/b.js|"));
  }
};

}  // namespace larkspan

QTEST_MAIN(larkspan::TfrmCompressFiltersTest)
#include "CompressFilter_test.moc"
