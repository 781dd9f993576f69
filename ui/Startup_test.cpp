// The single-instance check against the real program running beside us.
#include "ui/Startup.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include "platform/FileSystem.h"
#include "platform/InstanceLock.h"
#include "ui/FakeDialogs.h"
#include "ui/TestSupport.h"

namespace larkspan {

class TStartupTest : public QObject {
  Q_OBJECT

 private slots:
  void SecondInstanceIsRefusedUntilTheFirstEnds() {
    TTestHome Home;  // our settings and the shared lock folder
    QTemporaryDir FirstHome;
    TFakeDialogs Fake;

    std::string Bin = GetEnv("LARKSPAN_BIN_DIR");
    if (Bin.empty()) Bin = ProgramFolder() + "../bin";
    QProcess First;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("QT_QPA_PLATFORM", "offscreen");
    Env.insert("XDG_CONFIG_HOME", FirstHome.path());
    Env.insert("XDG_RUNTIME_DIR", QString::fromStdString(Home.Path()));
    First.setProcessEnvironment(Env);
    First.start(QString::fromStdString(Bin + "/larkspan"), {});
    QVERIFY(First.waitForStarted());
    // The first instance has its window once it has made its settings folder.
    QTRY_VERIFY_WITH_TIMEOUT(QDir(FirstHome.path() + "/Ostrel Larkspan").exists(), 30000);

    {
      TInstanceLock Lock;
      QVERIFY(!CheckSingleInstance(Lock));
      QVERIFY(!Lock.Held());
      QCOMPARE(Fake.Messages.size(), size_t(1));
      QCOMPARE(Fake.Messages[0].Text, QString("本软件无法同时运行多个实例！"));
      QCOMPARE(Fake.Messages[0].Caption, QString("提示"));
      QCOMPARE(Fake.Messages[0].Icon, TMsgIcon::Information);
      QCOMPARE(Fake.Messages[0].Buttons, TMsgButtons::Ok);
      // The refused instance never reached its settings.
      QVERIFY(!QDir(QString::fromStdString(Home.Path() + "Ostrel Larkspan")).exists());
    }
    QCOMPARE(First.state(), QProcess::Running);

    First.kill();
    QVERIFY(First.waitForFinished(10000));
    Fake.Clear();
    TInstanceLock Lock;
    QVERIFY(CheckSingleInstance(Lock));
    QVERIFY(Lock.Held());
    QVERIFY(Fake.Messages.empty());
  }
};

}  // namespace larkspan

QTEST_MAIN(larkspan::TStartupTest)
#include "Startup_test.moc"
