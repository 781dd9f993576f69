// The file-filter dialog on its own and opened from the main window.
#include "ui/FileFilter.h"

#include <QApplication>
#include <QFrame>
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

class TfrmFileFiltersTest : public QObject {
  Q_OBJECT

 private slots:
  void OpensWithTheStoredListAndNothingSelected() {
    TTestHome Home;
    TAppConfig Config(Home.ConfigFile(), false);
    Config.SaveOnDestroy = false;
    // The second entry lacks its closing "|": only the first is a list entry.
    Config.FileFilters = "*.bak|*.tmp";
    TfrmFileFilters D(&Config);
    QCOMPARE(D.windowTitle(), QString("设置文件过滤"));
    QCOMPARE(D.size(), QSize(265, 250));
    QCOMPARE(D.sLabel1->text(), QString("不需要导出文件的扩展名："));
    QCOMPARE(D.btnAdd->toolTip(), QString("添加"));
    QCOMPARE(D.btnRemove->toolTip(), QString("移除"));
    QCOMPARE(D.sBitBtn1->text(), QString("确定"));
    QCOMPARE(D.sBitBtn2->text(), QString("取消"));
    QVERIFY(D.sBitBtn1->isDefault());
    for (const char* N :
         {"GroupBox1", "sLabel1", "lbxExt", "btnAdd", "btnRemove", "sBitBtn1", "sBitBtn2"})
      QVERIFY2(D.findChild<QWidget*>(N), N);
    QCOMPARE(Rows(D.lbxExt), QStringList{"*.bak"});
    QCOMPARE(D.lbxExt->SelectedIndex(), -1);
    QVERIFY(!D.btnRemove->isEnabled());
  }

  void AddTakesOnlyNewWellFormedPatterns() {
    TTestHome Home;
    TFakeDialogs Fake;
    TAppConfig Config(Home.ConfigFile(), false);
    Config.SaveOnDestroy = false;
    Config.FileFilters = "*.bak|";
    TfrmFileFilters D(&Config);
    D.show();

    struct TCase {
      std::optional<QString> Typed;
      QStringList Rows;
    };
    const TCase Cases[] = {
        {std::nullopt, {"*.bak"}},  // Cancel
        {QString(""), {"*.bak"}},
        {QString("*.*"), {"*.bak"}},
        {QString("*."), {"*.bak"}},
        {QString(".log"), {"*.bak"}},
        {QString("log"), {"*.bak"}},
        {QString("*.a|*.b"), {"*.bak"}},  // would split into two entries
        {QString("*.BAK"), {"*.bak"}},    // already listed, other case
        {QString("*.tar.gz"), {"*.bak", "*.tar.gz"}},
        {QString("*.bak "), {"*.bak", "*.tar.gz", "*.bak "}},  // the blank counts
        {QString("*.临时"), {"*.bak", "*.tar.gz", "*.bak ", "*.临时"}},
    };
    for (const TCase& C : Cases) {
      const int Before = D.lbxExt->count();
      const int SelectedBefore = D.lbxExt->SelectedIndex();
      Fake.InputAnswers = {C.Typed};
      D.btnAdd->click();
      QCOMPARE(Rows(D.lbxExt), C.Rows);
      if (D.lbxExt->count() > Before) {
        QCOMPARE(D.lbxExt->SelectedIndex(), D.lbxExt->count() - 1);
        QVERIFY(D.btnRemove->isEnabled());
      } else {
        QCOMPARE(D.lbxExt->SelectedIndex(), SelectedBefore);
      }
    }
    QVERIFY2(Fake.Messages.empty(), "a refused pattern shows no message");
    QCOMPARE(Fake.InputRequests[0].Caption, QString("添加"));
    QCOMPARE(Fake.InputRequests[0].Prompt, QString("请输入文件扩展名(如：*.bak)："));
    QCOMPARE(Fake.InputRequests[0].Initial, QString());
  }

  void RemoveFollowsTheSelection() {
    TTestHome Home;
    TFakeDialogs Fake;
    TAppConfig Config(Home.ConfigFile(), false);
    Config.SaveOnDestroy = false;
    Config.FileFilters = "*.a|*.b|*.c|";
    TfrmFileFilters D(&Config);
    D.show();
    QVERIFY(QTest::qWaitForWindowExposed(&D));

    // Nothing selected: Remove removes nothing.
    D.btnRemove->setEnabled(true);
    D.btnRemove->click();
    QCOMPARE(Rows(D.lbxExt), QStringList({"*.a", "*.b", "*.c"}));
    QVERIFY(!D.btnRemove->isEnabled());

    // A click on an entry selects it and enables Remove.
    const QRect Second = D.lbxExt->visualItemRect(D.lbxExt->item(1));
    QTest::mouseClick(D.lbxExt->viewport(), Qt::LeftButton, {}, Second.center());
    QCOMPARE(D.lbxExt->SelectedIndex(), 1);
    QVERIFY(D.btnRemove->isEnabled());
    D.btnRemove->click();
    QCOMPARE(Rows(D.lbxExt), QStringList({"*.a", "*.c"}));
    QCOMPARE(D.lbxExt->SelectedIndex(), -1);
    QVERIFY(!D.btnRemove->isEnabled());

    // The Down arrow moves the selection and enables Remove again.
    D.lbxExt->setFocus();
    D.lbxExt->setCurrentRow(0);
    D.lbxExt->clearSelection();
    D.btnRemove->setEnabled(false);
    QTest::keyClick(D.lbxExt, Qt::Key_Down);
    QCOMPARE(D.lbxExt->SelectedIndex(), 1);
    QVERIFY(D.btnRemove->isEnabled());
    QTest::keyClick(D.lbxExt, Qt::Key_Up);
    QCOMPARE(D.lbxExt->SelectedIndex(), 0);
    QVERIFY(D.btnRemove->isEnabled());
  }

  void MainWindowTakesTheListOnOkOnly() {
    TTestHome Home;
    TFakeDialogs Fake;
    Home.WriteConfig("FileFilters=*.bak|*.tmp|\n");
    TfrmLarkspan F;
    F.show();

    // Cancel after adding and removing: nothing changes anywhere.
    Fake.InputAnswers = {QString("*.log")};
    WhenDialogOpens<TfrmFileFilters>([](TfrmFileFilters* D) {
      D->btnAdd->click();
      D->lbxExt->SelectIndex(0);
      D->btnRemoveClick();
      QCOMPARE(Rows(D->lbxExt), QStringList({"*.tmp", "*.log"}));
      D->sBitBtn2->click();
    });
    F.btnFileFilters->click();
    QCOMPARE(F.edtFileFilters->text(), QString("*.bak|*.tmp|"));
    QCOMPARE(F.Config()->FileFilters, std::string("*.bak|*.tmp|"));

    // OK: the summary box takes the list; the settings follow at close.
    Fake.InputAnswers = {QString("*.log")};
    WhenDialogOpens<TfrmFileFilters>([](TfrmFileFilters* D) {
      D->btnAdd->click();
      D->sBitBtn1->click();
    });
    F.btnFileFilters->click();
    QCOMPARE(F.edtFileFilters->text(), QString("*.bak|*.tmp|*.log|"));

    // OK with every entry removed empties the box.
    WhenDialogOpens<TfrmFileFilters>([](TfrmFileFilters* D) {
      while (D->lbxExt->count() > 0) {
        D->lbxExt->SelectIndex(0);
        D->btnRemoveClick();
      }
      D->sBitBtn1->click();
    });
    F.btnFileFilters->click();
    QCOMPARE(F.edtFileFilters->text(), QString());
    QVERIFY(F.close());
    TAppConfig Saved(Home.ConfigFile(), true);
    Saved.SaveOnDestroy = false;
    QCOMPARE(Saved.FileFilters, std::string());
  }
};

}  // namespace larkspan

QTEST_MAIN(larkspan::TfrmFileFiltersTest)
#include "FileFilter_test.moc"
