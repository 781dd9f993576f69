// The results window on the records of a run: sorting, filtering, totals.
#include "ui/Results.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "ui/FakeDialogs.h"

namespace larkspan {

namespace {

TFileResult Record(const char* Path, TFileAction Action, int64_t In, int64_t Out) {
  TFileResult R;
  R.Path = Path;
  R.Action = Action;
  R.BytesIn = In;
  R.BytesOut = Out;
  return R;
}

// The texts of one column for the rows shown, top to bottom.
QStringList Column(const TfrmResults& W, int Col) {
  QStringList Texts;
  for (int Row = 0; Row < W.tblResults->rowCount(); ++Row)
    if (!W.tblResults->isRowHidden(Row)) Texts << W.tblResults->item(Row, Col)->text();
  return Texts;
}

}  // namespace

class TfrmResultsTest : public QObject {
  Q_OBJECT

 private slots:
  void SortsByNumbersFiltersByActionAndTotalsWhatIsShown() {
    TFakeDialogs Fake;
    std::vector<TFileResult> Rs = {
        Record("b/page.html", TFileAction::Minified, 2000, 500),
        Record("a/big.png", TFileAction::Optimised, 10000, 9000),
        Record("old.bak", TFileAction::Filtered, 300, 0),
        Record("c.txt", TFileAction::Copied, 900, 900),
    };
    Rs[2].Reason = TFileReason::FilterPattern;
    Rs[2].Detail = "*.bak";
    TfrmResults W(Rs, "/srv/out/");
    W.show();
    QVERIFY(QTest::qWaitForWindowExposed(&W));
    QCOMPARE(W.windowTitle(), QString("详细信息"));
    QCOMPARE(W.tblResults->rowCount(), 4);
    // Paths in order at first; the sizes sort as numbers, not as texts.
    QCOMPARE(Column(W, 0), QStringList({"a/big.png", "b/page.html", "c.txt", "old.bak"}));
    W.tblResults->sortByColumn(2, Qt::AscendingOrder);
    QCOMPARE(Column(W, 0), QStringList({"old.bak", "c.txt", "b/page.html", "a/big.png"}));
    W.tblResults->sortByColumn(4, Qt::DescendingOrder);
    QCOMPARE(Column(W, 4), QStringList({"100.0%", "75.0%", "10.0%", "0.0%"}));
    QCOMPARE(W.lblTotals->text(), QString("共4个文件：处理前12.9KB，处理后10.2KB，节省21.2%"));

    // One action at a time; the totals follow.
    QStringList Filters;
    for (int I = 0; I < W.cbxAction->count(); ++I) Filters << W.cbxAction->itemText(I);
    QCOMPARE(Filters,
             QStringList({"全部", "已压缩 (1)", "已优化 (1)", "已复制 (1)", "已过滤 (1)"}));
    W.cbxAction->setCurrentIndex(4);
    QCOMPARE(Column(W, 0), QStringList{"old.bak"});
    QCOMPARE(Column(W, 1), QStringList{"已过滤"});
    QCOMPARE(
        W.tblResults
            ->item(W.tblResults->row(W.tblResults->findItems("old.bak", Qt::MatchExactly)[0]), 0)
            ->toolTip(),
        QString("old.bak\n过滤条件 *.bak"));
    QCOMPARE(W.lblTotals->text(), QString("共1个文件：处理前300B，处理后0B，节省100.0%"));
    W.cbxAction->setCurrentIndex(0);
    QCOMPARE(Column(W, 0).size(), 4);

    W.btnOpenOutput->click();
    QCOMPARE(Fake.OpenedFolders, QStringList{"/srv/out/"});
    W.btnClose->click();
    QVERIFY(!W.isVisible());
  }

  void SummaryByKindAboveTheDetailsWithABarOfTheSaving() {
    TFakeDialogs Fake;
    std::vector<TFileResult> Rs = {
        Record("a.html", TFileAction::Minified, 3000, 1000),
        Record("b.HTM", TFileAction::Rewritten, 1000, 1000),
        Record("p/x.jpg", TFileAction::Optimised, 4000, 3000),
        Record("p/y.jpg", TFileAction::DuplicateLeftOut, 4000, 0),
        Record("old.bak", TFileAction::Filtered, 13, 0),
        Record("pipe", TFileAction::Skipped, 0, 0),
    };
    TfrmResults W(Rs, "/srv/out/");
    W.show();
    QVERIFY(QTest::qWaitForWindowExposed(&W));
    QTableWidget* K = W.tblKinds;
    QCOMPARE(K->objectName(), QString("tblKinds"));
    // Above the details table.
    QVERIFY(K->geometry().bottom() < W.tblResults->geometry().top());
    QCOMPARE(K->rowCount(), 4);  // the skipped entry counts in no kind
    const QStringList Expected[] = {{"网页", "2", "3.9KB", "2.0KB"},
                                    {"JPG图片", "1", "3.9KB", "2.9KB"},
                                    {"重复图片", "1", "3.9KB", "未写出"},
                                    {"已过滤", "1", "13B", "未写出"}};
    for (int Row = 0; Row < 4; ++Row) {
      QStringList Got;
      for (int Col = 0; Col < 4; ++Col) Got << K->item(Row, Col)->text();
      QCOMPARE(Got, Expected[Row]);
    }
    // The bar shows the share saved; the kinds left out have none.
    auto* Pages = qobject_cast<QProgressBar*>(K->cellWidget(0, 4));
    QVERIFY(Pages != nullptr);
    QCOMPARE(Pages->value(), 500);
    QCOMPARE(Pages->text(), QString("50.0%"));
    QCOMPARE(qobject_cast<QProgressBar*>(K->cellWidget(1, 4))->value(), 250);
    QVERIFY(K->cellWidget(2, 4) == nullptr);
  }

  void LongPathsKeepTheirFileNameAndDuplicatesNameTheKeptCopy() {
    TFakeDialogs Fake;
    const std::string Long = "a/" + std::string(300, 'x') + "/photo-final.png";
    std::vector<TFileResult> Rs = {
        Record(Long.c_str(), TFileAction::DuplicateLeftOut, 4000, 0),
        Record("img/master.png", TFileAction::Optimised, 4000, 3000),
        Record("index.html", TFileAction::Minified, 900, 600),
    };
    Rs[0].Reason = TFileReason::SameContentAs;
    Rs[0].Detail = "img/master.png";
    TfrmResults W(Rs, "/srv/out/");
    W.show();
    QVERIFY(QTest::qWaitForWindowExposed(&W));
    // Cut in the middle, so "photo-final.png" stays in sight.
    QCOMPARE(W.tblResults->textElideMode(), Qt::ElideMiddle);
    const int Row = W.tblResults->row(
        W.tblResults->findItems(QString::fromStdString(Long), Qt::MatchExactly).value(0));
    QVERIFY(Row >= 0);
    QCOMPARE(W.tblResults->item(Row, 0)->toolTip(),
             QString::fromStdString(Long) + "\n保留的副本：img/master.png");
    QCOMPARE(W.tblResults->item(Row, 5)->text(), QString("保留的副本：img/master.png"));
    QCOMPARE(W.tblResults->horizontalHeaderItem(5)->text(), QString("说明"));
    // The path column gets the room; the notes never push it out.
    QVERIFY(W.tblResults->columnWidth(5) <= 200);
    QVERIFY(W.tblResults->columnWidth(0) > W.tblResults->columnWidth(5));
    // A row without a reason has its path as its tooltip and no note.
    const int Page =
        W.tblResults->row(W.tblResults->findItems("index.html", Qt::MatchExactly).value(0));
    QCOMPARE(W.tblResults->item(Page, 0)->toolTip(), QString("index.html"));
    QCOMPARE(W.tblResults->item(Page, 5)->text(), QString());
  }

  void EmptyRunShowsAnEmptyTable() {
    TFakeDialogs Fake;
    TfrmResults W({}, "");
    QCOMPARE(W.tblResults->rowCount(), 0);
    QCOMPARE(W.tblKinds->rowCount(), 0);
    QCOMPARE(W.cbxAction->count(), 1);
    QCOMPARE(W.lblTotals->text(), QString("共0个文件：处理前0B，处理后0B，节省0.0%"));
    QVERIFY(!W.btnOpenOutput->isEnabled());
  }
};

}  // namespace larkspan

QTEST_MAIN(larkspan::TfrmResultsTest)
#include "Results_test.moc"
