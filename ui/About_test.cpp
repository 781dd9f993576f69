// The about box, the version the program carries, and the skin set-up.
#include "ui/About.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTest>

#include "config/uGlobal.h"
#include "platform/FileSystem.h"
#include "ui/dmControlUI.h"

namespace larkspan {

namespace {
std::string BinDir() {
  const std::string Dir = GetEnv("LARKSPAN_BIN_DIR");
  return Dir.empty() ? ProgramFolder() + "../bin/" : Dir + "/";
}
}  // namespace

class TfrmAboutTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsIconTitleAndVersion() {
    TfrmAbout About;
    QCOMPARE(About.windowTitle(), QString("关于"));
    QCOMPARE(About.size(), QSize(230, 200));
    QCOMPARE(About.lblTitle->text(), QString("Vellimor"));
    QCOMPARE(About.lblTitle->font().pixelSize(), 20);
    QVERIFY(About.lblTitle->font().bold());
    QCOMPARE(About.lblVersion->font().pixelSize(), 14);
    QVERIFY(!About.Image1->pixmap().isNull());
    QCOMPARE(About.RzBitBtn1->text(), QString("确定"));
    QVERIFY(About.RzBitBtn1->isDefault());
    // This test program carries no version note.
    QCOMPARE(About.lblVersion->text(), QString("v"));
    About.show();
    QVERIFY(QTest::qWaitForWindowExposed(&About));
    About.RzBitBtn1->click();
    QCOMPARE(About.result(), int(QDialog::Accepted));
  }

  void TheProgramCarriesItsVersion() {
    QCOMPARE(GetFileVersionText(BinDir() + "larkspan"), std::string("1.0.2.35"));
  }

  void SkinComesFromTheFolderBesideTheProgram() {
    TdmUI Module;
    QCOMPARE(Module.sSkinManager1.SkinDirectory, ProgramFolder() + "Skins/");
    QCOMPARE(Module.sSkinManager1.SkinName, std::string("Mint"));
    QVERIFY(Module.sSkinManager1.Active());

    // The skin installed beside the real program.
    TSkinManager Mint;
    Mint.SkinDirectory = BinDir() + "Skins/";
    Mint.SkinName = "Mint";
    Mint.SetActive(true);
    QVERIFY(Mint.StyleSheetLoaded());
    QVERIFY(qApp->styleSheet().contains("QProgressBar::chunk"));
    QCOMPARE(QApplication::palette().color(QPalette::Window), QColor("#eef7f2"));
    QCOMPARE(QApplication::palette().color(QPalette::Disabled, QPalette::Text), QColor("#93ab9f"));

    // A skin that is not there leaves the toolkit's look, without a fuss.
    TSkinManager Missing;
    Missing.SkinDirectory = BinDir() + "Skins/";
    Missing.SkinName = "NoSuchSkin";
    Missing.SetActive(true);
    QVERIFY(!Missing.StyleSheetLoaded());
    QVERIFY(qApp->styleSheet().isEmpty());
    Missing.SetActive(false);
  }

  void StockDialogsSpeakChinese() {
    QVERIFY(LoadToolkitTranslations());
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
  }
};

}  // namespace larkspan

QTEST_MAIN(larkspan::TfrmAboutTest)
#include "About_test.moc"
