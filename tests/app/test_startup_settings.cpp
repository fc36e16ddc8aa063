// Start-up: the settings rules, the data directory chooser, the working
// directory and the status text, the port list and its device hints.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <fstream>

#include "app/port_chooser.h"
#include "app/table_dialogs.h"
#include "app/table_queries.h"
#include "app_fixture.h"

using namespace orvald;
using namespace orvald::testing;

class StartupSettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void firstStartWritesDefaultsAndSelectsNoPort() {
    AppFixture f;
    auto w = f.Start();

    QCOMPARE(f.Setting("COM_PORT").toInt(), 1);
    QCOMPARE(f.Setting("DATA_DIR").toString().toStdString(), f.defaultDataDir());
    QVERIFY2(QDir(QString::fromStdString(f.defaultDataDir())).exists(), "the per-user data folder is created");
    // This run keeps what was read before the failure: nothing.
    QCOMPARE(w->portNo(), 0);
    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->currentIndex(), -1);
    QVERIFY(w->dataDir().empty());
    // The chooser was asked, cancelled: no folder, working directory unchanged.
    QCOMPARE(int(f.prompts.choosers.size()), 1);
    QCOMPARE(f.prompts.choosers[0].kind, std::string("directory"));
    QCOMPARE(f.prompts.choosers[0].title, std::string("Select directory where downloaded tracks are stored:"));
    QCOMPARE(f.prompts.choosers[0].startDirectory, f.defaultDataDir());  // the new folder is the one offered
    QCOMPARE(w->StatusText(), QString("Saving tracks to : "));
    QCOMPARE(QDir::currentPath(), f.originalCwd());
    QCOMPARE(int(f.prompts.boxes.size()), 0);
    // Polls with no port chosen ask for one; none names a "COM0".
    w->Timer1Timer();
    QVERIFY2(w->StatusText().startsWith("No serial port chosen"), qPrintable(w->StatusText()));
  }

  void secondStartUsesThePerUserFolderWhenTheChooserIsCancelled() {
    AppFixture f;
    f.Start().reset();
    auto w = f.Start();

    QCOMPARE(w->portNo(), 1);
    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->currentIndex(), 0);
    QCOMPARE(w->dataDir(), f.defaultDataDir());
    QCOMPARE(w->StatusText(), QString("Saving tracks to : %1").arg(QString::fromStdString(f.defaultDataDir())));
    QCOMPARE(QDir::currentPath(), QDir(QString::fromStdString(f.defaultDataDir())).canonicalPath());
  }

  void chosenFolderIsWrittenAndBecomesTheWorkingDirectory() {
    AppFixture f;
    QDir().mkpath(f.path("flights"));
    f.prompts.directories.push_back(f.spath("flights"));
    auto w = f.Start();

    QCOMPARE(w->dataDir(), f.spath("flights"));
    QCOMPARE(f.Setting("DATA_DIR").toString(), f.path("flights"));
    QCOMPARE(QDir::currentPath(), QDir(f.path("flights")).canonicalPath());
    QCOMPARE(w->StatusText(), "Saving tracks to : " + f.path("flights"));
  }

  void missingFolderLeavesTheWorkingDirectoryUnreported() {
    AppFixture f;
    f.SetSetting("APPLICATIONS/ORVALD/COM_PORT", 2);
    f.SetSetting("APPLICATIONS/ORVALD/DATA_DIR", f.path("gone"));
    auto w = f.Start();

    QCOMPARE(w->dataDir(), f.spath("gone"));
    QCOMPARE(QDir::currentPath(), f.originalCwd());
    QCOMPARE(w->StatusText(), "Saving tracks to : " + f.path("gone"));
    QCOMPARE(int(f.prompts.boxes.size()), 0);
  }

  void portBelowOneBecomesComOne_data() {
    QTest::addColumn<QString>("stored");
    QTest::newRow("zero") << "0";
    QTest::newRow("negative") << "-3";
  }
  void portBelowOneBecomesComOne() {
    QFETCH(QString, stored);
    AppFixture f;
    f.WriteSettingsText("[APPLICATIONS]\nORVALD\\COM_PORT=" + stored.toStdString() + "\nORVALD\\DATA_DIR=" +
                        f.spath("x") + "\n");
    auto w = f.Start();

    QCOMPARE(w->portNo(), 1);
    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->currentIndex(), 0);
    QCOMPARE(f.Setting("COM_PORT").toInt(), 1);
    QCOMPARE(f.Setting("DATA_DIR").toString(), f.path("x"));  // untouched
  }

  void portTwelveShowsNoSelectionUntilChosen() {
    AppFixture f;
    f.SetSetting("APPLICATIONS/ORVALD/COM_PORT", 12);
    f.SetSetting("APPLICATIONS/ORVALD/DATA_DIR", f.path("x"));
    auto w = f.Start();

    QCOMPARE(w->portNo(), 12);
    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->currentIndex(), -1);
    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->count(), 9);
    QCOMPARE(f.Setting("COM_PORT").toInt(), 12);
  }

  void portOfTheWrongTypeWritesBothDefaults() {
    AppFixture f;
    f.SetSetting("APPLICATIONS/ORVALD/COM_PORT", "four");
    f.SetSetting("APPLICATIONS/ORVALD/DATA_DIR", f.path("mine"));
    auto w = f.Start();

    QCOMPARE(w->portNo(), 0);
    QVERIFY(w->dataDir().empty());
    QCOMPARE(f.Setting("COM_PORT").toInt(), 1);
    QCOMPARE(f.Setting("DATA_DIR").toString().toStdString(), f.defaultDataDir());
  }

  void emptyDataDirUsesThePerUserFolderAndWritesIt() {
    AppFixture f;
    f.SetSetting("APPLICATIONS/ORVALD/COM_PORT", 3);
    f.SetSetting("APPLICATIONS/ORVALD/DATA_DIR", "");
    auto w = f.Start();

    QCOMPARE(w->portNo(), 3);
    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->currentIndex(), 2);
    QCOMPARE(w->dataDir(), f.defaultDataDir());
    QCOMPARE(f.Setting("DATA_DIR").toString().toStdString(), f.defaultDataDir());
    QVERIFY(QDir(QString::fromStdString(f.defaultDataDir())).exists());
    QCOMPARE(QDir::currentPath(), QDir(QString::fromStdString(f.defaultDataDir())).canonicalPath());
  }

  void choosingComFourIsWrittenAtOnceAndSelectedOnRestart() {
    AppFixture f;
    f.Start().reset();
    {
      auto w = f.Start();
      int told = 0;
      w->SetPortChangeHook([&](int n) { told = n; });
      Find<QComboBox>(w, "cbPortNo")->setCurrentIndex(3);
      QCOMPARE(w->portNo(), 4);
      QCOMPARE(told, 4);
      QCOMPARE(f.Setting("COM_PORT").toInt(), 4);  // before the window goes
    }
    auto again = f.Start();
    QCOMPARE(Find<QComboBox>(again, "cbPortNo")->currentIndex(), 3);
    QCOMPARE(again->portNo(), 4);
  }

  void settingsAreNotWrittenAtExit() {
    AppFixture f;
    f.Start().reset();
    auto w = f.Start();
    const QDateTime before = QFileInfo(f.settingsFile()).lastModified();
    const QByteArray contents = [&] {
      QFile file(f.settingsFile());
      file.open(QIODevice::ReadOnly);
      return file.readAll();
    }();
    QTest::qWait(20);
    w.reset();
    QFile file(f.settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), contents);
    QCOMPARE(QFileInfo(f.settingsFile()).lastModified(), before);
  }

  void portListOffersNineWithTheirDevicesAsHints() {
    AppFixture f;
    f.SetSetting("Ports/COM3", "/dev/pts/7");
    f.SetSetting("Ports/COM5", "");
    auto w = f.Start();

    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->count(), 9);
    // Each entry names its device, or that it opens none.
    auto* chooser = Find<PortChooser>(w, "cbPortNo");
    QCOMPARE(chooser->itemText(0), QString("COM1"));
    QCOMPARE(chooser->ListedText(0), QString("COM1  /dev/ttyUSB0"));
    QCOMPARE(chooser->ListedText(2), QString("COM3  /dev/pts/7"));
    QCOMPARE(chooser->ListedText(4), QString("COM5  (no device)"));
    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->itemData(8, Qt::ToolTipRole).toString(), QString("/dev/ttyUSB8"));
    QCOMPARE(w->portResolver()("COM3"), std::string("/dev/pts/7"));
    QCOMPARE(w->portResolver()("COM5"), std::string(""));
    QCOMPARE(w->portResolver()("COM2"), std::string("/dev/ttyUSB1"));
    QCOMPARE(Find<QComboBox>(w, "cbPortNo")->toolTip(), QString("Select the COMM's PORT"));
  }

  // File > Data folder...: a folder that failed is left alone at the polls;
  // the new one is the working directory, its tables are read and the next
  // download goes there.
  void dataFolderChangedWhileRunning() {
    AppFixture f;
    QDir().mkpath(f.path("first"));
    QDir().mkpath(f.path("second"));
    std::ofstream(f.spath("second/loggers.tsv")) << "PK-1\t042\tSecond Pilot\r\n";
    std::ofstream(f.spath("second/tasks.tsv")) << "07\t2026/03/14\t09:00:00\t17:00:00\r\n";
    f.prompts.directories = {f.spath("first"), f.spath("second")};
    f.SetSetting("APPLICATIONS/ORVALD/COM_PORT", 1);
    f.SetSetting("APPLICATIONS/ORVALD/DATA_DIR", f.path("first"));
    ErasedLogger logger;
    LoggersTable loggers;
    TasksTable tasks;  // both outlive the window
    LoggersTableLookup lookup(loggers);
    int checks = 0;
    AppEnvironment env = f.Environment();
    env.commands = &logger;
    env.lookup = &lookup;
    env.folderCheck = [&](const std::string&, uint64_t) { return ++checks, std::string("first: 0 bytes free"); };
    auto w = f.Start(env);
    CreateTableDialogs(*w, loggers, tasks, f.prompts);
    QDir(f.path("first")).removeRecursively();
    w->Timer1Timer();
    const QString failure = w->StatusText();
    w->Timer1Timer();
    QCOMPARE(logger.identities + checks, 2);  // left alone after one look at the folder
    QCOMPARE(int(f.prompts.boxes.size()), 3);  // neither table in the first folder, one failure
    QVERIFY(failure.startsWith("Can't create file") && w->StatusText() == failure);
    // Not while a table dialog shows edits that the new folder's table would replace.
    Find<QPushButton>(w, "btnEdit")->click();
    Find<QAction>(w, "mnFileDataFolder")->trigger();
    QVERIFY(f.prompts.boxes.back().text.rfind("Close the loggers and task windows tables first", 0) == 0);
    QCOMPARE(int(f.prompts.directories.size()), 1);  // the folder was not asked for
    w->findChild<QDialog*>("SerialNumbersDlg")->hide();
    f.prompts.boxes.pop_back();
    Find<QAction>(w, "mnFileDataFolder")->trigger();
    QCOMPARE(QDir::currentPath(), QDir(f.path("second")).canonicalPath());
    QCOMPARE(w->StatusText(), "Saving tracks to : " + f.path("second"));
    QCOMPARE(int(f.prompts.boxes.size()), 3);  // both tables found
    QVERIFY(Find<QComboBox>(w, "WindowTask")->findText("07") >= 0);
    w->Timer1Timer();
    QCOMPARE(checks, 1);
    QVERIFY(QFile::exists(f.path("second/PK-1-20260314-100000.G00")));
    QVERIFY(lookup.FindLogger("PK-1").found);
  }

  void detectionTimerStartsAtFiveSeconds() {
    AppFixture f;
    TfrmMain w(f.Environment());
    QVERIFY(Find<QTimer>(&w, "Timer1")->isActive());
    QCOMPARE(Find<QTimer>(&w, "Timer1")->interval(), 5000);
  }
};

QTEST_MAIN(StartupSettingsTest)
#include "test_startup_settings.moc"
