// The main window's controls, captions and menus; the About box; key
// preview of Escape; File > Open and its resets; Force download; Exit.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include "app/about_box.h"
#include "app/qt_prompts.h"
#include "app/table_dialogs.h"
#include "app/today_dlg.h"
#include "app/window_placement.h"
#include "tables/loggers_table.h"
#include "tables/tasks_table.h"
#include "app_fixture.h"
#include "logger/logger_commands.h"

using namespace orvald;
using namespace orvald::testing;

namespace {

// Records the keys a widget itself receives.
class KeySpy : public QObject {
 public:
  QList<int> keys;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) keys << static_cast<QKeyEvent*>(event)->key();
    return false;
  }
};

QStringList MenuTexts(QMenu* menu) {
  QStringList texts;
  for (QAction* action : menu->actions()) texts << (action->isSeparator() ? QString("-") : action->text());
  return texts;
}

}  // namespace

class WindowControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsCarryTheirNamesAndCaptions() {
    AppFixture f;
    auto w = f.Start();
    QCOMPARE(w->objectName(), QString("frmMain"));
    QCOMPARE(w->windowTitle(), QString("CIMA (VL) Flight Log Downloader"));
    // 1000x720 where the screen has room for it (the window system's frame kept free).
    const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size() - QSize(16, 48);
    QCOMPARE(w->size(), QSize(1000, 720).boundedTo(room));
    QCOMPARE(w->minimumSize(), QSize(700, 576).boundedTo(room));

    auto group = [&](const char* name) { return w->findChild<QGroupBox*>(name); };
    QCOMPARE(group("GroupBox1")->title(), QString("Communication"));
    QCOMPARE(group("GroupBox2")->title(), QString("Identification"));
    auto button = [&](const char* name) { return w->findChild<QPushButton*>(name)->text(); };
    QCOMPARE(button("btnForceDl"), QString("Force download"));
    QCOMPARE(button("btnEdit"), QString("Edit"));
    QCOMPARE(button("btnEditTask"), QString("Edit"));
    QCOMPARE(button("btnSave"), QString("Save"));
    QCOMPARE(button("btnManSave"), QString("Save"));
    for (const char* name : {"CompetNo", "PilotNames", "LoggerSN", "LoggerType", "edPoints", "edEvents", "Date",
                             "TimeFrom", "TimeTo", "taskPoints", "taskEvents"}) {
      QVERIFY2(w->findChild<QLineEdit*>(name)->isReadOnly(), name);
    }
    for (const char* name : {"edManTask", "edFrom", "edTo"}) QVERIFY2(!w->findChild<QLineEdit*>(name)->isReadOnly(), name);
    QVERIFY(w->findChild<QComboBox*>("WindowTask")->isEditable());
    QVERIFY(w->findChild<QSplitter*>("Splitter1"));
    QVERIFY(w->findChild<QProgressBar*>("ProgressBar1")->isHidden());
    QVERIFY(w->findChild<QLabel*>("Label6")->isHidden());
    QVERIFY(w->findChild<QLabel*>("lblDLFile")->text().isEmpty());
    QCOMPARE(Find<QFrame>(w, "Panel2")->height(), 49);

    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->count(), 2);
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->tabText(0), QString("Manual Selection"));
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->tabText(1), QString("Task Window"));
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->widget(0)->objectName(), QString("TabSheet1"));
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->widget(1)->objectName(), QString("TabSheet2"));

    QTableView* grid = Find<QTableView>(w, "SegmentsGrid");
    const QStringList headings = {"Sgm", "Start (UTC)", "Finish (UTC)", "Blind", "Recorded", "Points", "Events"};
    const int widths[] = {30, 119, 114, 60, 59, 53, 50};
    QCOMPARE(grid->model()->columnCount(), 7);
    // The desktop's own type; the columns grow to fit it, never below their old widths.
    QCOMPARE(grid->font().pointSizeF(), QApplication::font().pointSizeF());
    for (int c = 0; c < 7; ++c) {
      QCOMPARE(grid->model()->headerData(c, Qt::Horizontal).toString(), headings[c]);
      QVERIFY(grid->columnWidth(c) >= widths[c]);
    }
    QVERIFY(grid->verticalHeader()->defaultSectionSize() >= std::max(16, grid->fontMetrics().height()));
    QCOMPARE(w->SegmentsGridRowCount(), 2);
    QVERIFY(grid->editTriggers() == QAbstractItemView::NoEditTriggers);
    QVERIFY(grid->selectionBehavior() == QAbstractItemView::SelectRows);
    QVERIFY(!(grid->model()->flags(grid->model()->index(0, 0)) & Qt::ItemIsEditable));

    QList<QMenu*> menus = w->menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    QStringList titles;
    for (QMenu* menu : menus) titles << menu->title();
    QCOMPARE(titles, QStringList({"&File", "&View", "&Logger", "&Help"}));
    QCOMPARE(MenuTexts(menus[0]), QStringList({"&Open", "&Data folder...", "&Verify data folder...", "-", "E&xit"}));
    QCOMPARE(MenuTexts(menus[1]), QStringList({"&Today"}));
    QCOMPARE(MenuTexts(menus[2]), QStringList({"&Stations...", "C&heck ports...", "Line &rate", "-", "&Clear"}));
    QCOMPARE(MenuTexts(menus[2]->findChild<QMenu*>("mnLineRate")), QStringList({"57600 bit/s", "115200 bit/s"}));
    QCOMPARE(MenuTexts(menus[3]), QStringList({"&About"}));
  }

  void theWindowFitsItsScreenAndComesBackWhereItWas() {
    const QRect screen(0, 0, 1024, 700);
    struct Case {
      const char* what;
      QRect remembered;  // invalid: the first start
      QRect expected;
    };
    const Case cases[] = {
        {"first start fits and centres", QRect(), QRect(12, 0, 1000, 700)},
        {"remembered inside stays", QRect(10, 20, 800, 600), QRect(10, 20, 800, 600)},
        {"off the right and bottom comes back", QRect(900, 650, 800, 600), QRect(224, 100, 800, 600)},
        {"off the left and top comes back", QRect(-300, -50, 800, 600), QRect(0, 0, 800, 600)},
        {"larger than the screen shrinks", QRect(0, 0, 1920, 1080), QRect(0, 0, 1024, 700)},
    };
    for (const Case& c : cases) {
      const QRect placed =
          c.remembered.isValid() ? KeepOnScreen(c.remembered, screen) : FitOnScreen(QSize(1000, 720), screen);
      QVERIFY2(placed == c.expected, c.what);
      QVERIFY2(screen.contains(placed), c.what);
    }

    // Closed with its own size and splitters, it opens so again on a screen of that size.
    AppFixture f;
    {
      auto w = f.Start();
      w->show();
      QVERIFY(QTest::qWaitForWindowExposed(w.get()));
      w->resize(760, 600);
      Find<QSplitter>(w, "Splitter2")->setSizes({300, 150});
      w->close();
    }
    auto again = f.Start();
    again->show();
    QVERIFY(QTest::qWaitForWindowExposed(again.get()));
    QCOMPARE(again->size(), QSize(760, 600));
    QCOMPARE(Find<QSplitter>(again, "Splitter2")->sizes().first(), 300);
  }

  void todayOpensWithinTheScreenAndItsGridFillsTheRoomItIsGiven() {
    AppFixture f;
    auto w = f.Start();
    w->show();
    Find<QAction>(w, "mnViewToday")->trigger();
    auto* today = w->findChild<TTodayDlg*>("TodayDlg");
    QVERIFY(QTest::qWaitForWindowExposed(today));
    QVERIFY(today->screen()->availableGeometry().contains(today->frameGeometry()));
    QVERIFY(today->TodayGrid->horizontalHeader()->length() >= today->TodayGrid->viewport()->width());
  }

  void theDesksKeysReachTheirCommands() {
    AppFixture f;
    auto w = f.Start();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(Find<QAction>(w, "mnFileOpen")->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(Find<QAction>(w, "mnFileExit")->shortcut(), QKeySequence("Ctrl+Q"));
    QTest::keyClick(w.get(), Qt::Key_T, Qt::ControlModifier);
    QVERIFY(w->findChild<QWidget*>("TodayDlg") != nullptr);
    // Tab leaves the grid, and never stops in the boxes that only show who flies.
    auto* grid = Find<QTableView>(w, "SegmentsGrid");
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != grid);
    for (int i = 0; i < 30; ++i) {
      QWidget* at = QApplication::focusWidget();
      QVERIFY(at != nullptr);
      QVERIFY2(at->parentWidget() == nullptr || at->parentWidget()->objectName() != "GroupBox2" ||
                   qobject_cast<QLineEdit*>(at) == nullptr,
               qPrintable(at->objectName()));
      QTest::keyClick(at, Qt::Key_Tab);
    }
    // Ctrl+S saves the page on show only when its Save may be pressed: nothing chosen, nothing asked.
    QTest::keyClick(w.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(int(f.prompts.boxes.size()), 0);
  }

  void returnInAQuestionGivesTheHarmlessAnswer() {
    QtPrompts prompts;
    const std::pair<PromptButtons, PromptAnswer> cases[] = {{PromptButtons::kYesNo, PromptAnswer::kNo},
                                                            {PromptButtons::kOkCancel, PromptAnswer::kCancel},
                                                            {PromptButtons::kOk, PromptAnswer::kOk}};
    for (const auto& [buttons, harmless] : cases) {
      QTimer::singleShot(0, [] {
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr) QTest::keyClick(box, Qt::Key_Return);
      });
      QVERIFY(prompts.Ask("Logger Download", "Erase all flights?", buttons, PromptIcon::kQuestion) == harmless);
    }
  }

  void theLineRateChoiceIsRemembered() {
    AppFixture f;
    auto w = f.Start();
    QVERIFY(Find<QAction>(w, "mnRate57600")->isChecked());
    Find<QAction>(w, "mnRate115200")->trigger();
    QCOMPARE(f.Setting("LINE_RATE").toInt(), 115200);
    QVERIFY(!Find<QAction>(w, "mnRate57600")->isChecked());
    w.reset();
    f.prompts.directories.push_back(f.defaultDataDir());
    w = f.Start();
    QVERIFY(Find<QAction>(w, "mnRate115200")->isChecked());
  }

  void aboutBoxIsModalAndNamesTheProduct() {
    AppFixture f;
    auto w = f.Start();
    TAboutBox box(w.get());
    w->SetAboutBox(&box);
    QCOMPARE(box.windowTitle(), QString("About"));
    QCOMPARE(box.size(), QSize(298, 254));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QCOMPARE(box.ProductName->text(), QString("VIRELINE"));
    QVERIFY(box.ProductName->font().bold());
    QVERIFY(box.ProductName->font().pointSizeF() > box.Version->font().pointSizeF());
    QCOMPARE(box.Version->text(), QString("Version 1.0A"));
    QCOMPARE(box.Label1->text(), QString("10 April 2007"));
    QVERIFY(box.Label1->alignment() & Qt::AlignHCenter);
    QCOMPARE(box.OKButton->text(), QString("OK"));
    QVERIFY(box.OKButton->isDefault());
    QVERIFY(!box.ProgramIcon->pixmap().isNull());

    w->show();
    bool sawModal = false;
    bool mainBlocked = false;
    QTimer::singleShot(50, [&] {
      sawModal = QApplication::activeModalWidget() == &box;
      mainBlocked = !w->isEnabled() || QApplication::activeModalWidget() != nullptr;
      QTest::keyClick(&box, Qt::Key_Return);  // Enter presses the default OK
    });
    Find<QAction>(w, "About1")->trigger();
    QVERIFY(sawModal);
    QVERIFY(mainBlocked);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));
  }

  void aboutOverAnOpenTableDialogBlocksItUntilOk() {
    AppFixture f;
    LoggersTable loggers(f.spath("loggers.tsv"));  // the tables outlive the window
    TasksTable tasks(f.spath("tasks.tsv"));
    auto w = f.Start();
    const TableDialogs dialogs = CreateTableDialogs(*w, loggers, tasks, f.prompts);
    TAboutBox box(w.get());
    w->SetAboutBox(&box);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    Find<QPushButton>(w, "btnEdit")->click();
    QVERIFY(dialogs.SerialNumbersDlg->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(dialogs.SerialNumbersDlg));

    // Clicks go to the dialog's window, as the window system sends them, so modality applies.
    QWidget* cancel = Find<QPushButton>(dialogs.SerialNumbersDlg, "Button1");
    auto clickCancel = [&] {
      QTest::mouseClick(cancel->window()->windowHandle(), Qt::LeftButton, {},
                        cancel->mapTo(cancel->window(), cancel->rect().center()));
    };
    bool dialogStayedOpen = false;
    QTimer::singleShot(50, [&] {
      clickCancel();  // while the About box is up: nothing happens
      dialogStayedOpen = dialogs.SerialNumbersDlg->isVisible();
      box.OKButton->click();
    });
    Find<QAction>(w, "About1")->trigger();
    QVERIFY(dialogStayedOpen);
    QVERIFY(dialogs.SerialNumbersDlg->isVisible());  // still open after OK
    clickCancel();  // and it reacts again
    QVERIFY(!dialogs.SerialNumbersDlg->isVisible());
  }

  void escapeSetsTheAbortFlagWithoutTakingTheKey() {
    AppFixture f;
    auto w = f.Start();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    KeySpy spy;
    Find<QLineEdit>(w, "edManTask")->installEventFilter(&spy);
    Find<QLineEdit>(w, "edManTask")->setFocus();

    QTest::keyClick(Find<QLineEdit>(w, "edManTask"), Qt::Key_A);
    QTest::keyClick(Find<QLineEdit>(w, "edManTask"), Qt::Key_Return);
    QVERIFY(!w->abortFlag());

    // Escape in another top-level window is not this window's key.
    AppFixture other;
    auto second = other.Start();
    second->show();
    QTest::keyClick(Find<QLineEdit>(second, "edFrom"), Qt::Key_Escape);
    QVERIFY(second->abortFlag());
    QVERIFY(!w->abortFlag());

    QTest::keyClick(Find<QLineEdit>(w, "edManTask"), Qt::Key_Escape);
    QVERIFY(w->abortFlag());
    QVERIFY(spy.keys.contains(Qt::Key_Escape));  // the control still saw it
    QCOMPARE(Find<QLineEdit>(w, "edManTask")->text(), QString("a"));
  }

  void fileOpenAsksWithItsTitleAndFilterAndResetsTheTaskFields() {
    AppFixture f;
    QDir().mkpath(f.path("data"));
    f.prompts.directories.push_back(f.spath("data"));
    auto w = f.Start();
    QVERIFY(WriteRawFile(f.spath("data/one.G00"), {{9, 0, 12, {}}, {9, 30, 8, {3}}}));
    Find<QLineEdit>(w, "taskPoints")->setText("99");
    Find<QLineEdit>(w, "taskEvents")->setText("9");
    w->FormKeyPress(27);  // Escape while idle must not spoil the open

    f.prompts.files.push_back(f.spath("data/one.G00"));
    Find<QAction>(w, "mnFileOpen")->trigger();

    const AskedChooser& asked = f.prompts.choosers.back();
    QCOMPARE(asked.kind, std::string("open"));
    QCOMPARE(asked.title, std::string("Read GPS File"));
    QCOMPARE(asked.filter, std::string("Raw files (*.G00);;IGC files (*.igc *.IGC);;Latest files (*.dat);;All files (*)"));
    QCOMPARE(asked.defaultSuffix, std::string("dat"));
    QCOMPARE(w->SegmentsGridRowCount(), 3);
    QCOMPARE(w->SegmentsGridCell(0, 1), QString("1"));
    QCOMPARE(w->SegmentsGridCell(5, 2), QString("8"));
    QCOMPARE(Find<QLabel>(w, "lblDLFile")->text(), QString("one.G00"));
    QVERIFY(Find<QLineEdit>(w, "taskPoints")->text().isEmpty());
    QVERIFY(Find<QLineEdit>(w, "taskEvents")->text().isEmpty());
    QVERIFY(!Find<QPushButton>(w, "btnSave")->isEnabled());
    QVERIFY(QFile::exists(f.path("data/one.G00")));
    // File > Verify data folder... says what orvald-cli verify says of the folder.
    Find<QAction>(w, "mnFileVerify")->trigger();
    QCOMPARE(f.prompts.boxes.back().text, std::string("journal.tsv: missing\none.G00: not in the journal\n"
                                                      "Checked 0 journal lines and 0 files: 2 problems"));
    QVERIFY(Find<QTimer>(w, "Timer1")->isActive());
  }

  void cancelledFileOpenChangesNothingAndTheTimerRunsAgain() {
    AppFixture f;
    auto w = f.Start();
    Find<QLineEdit>(w, "taskPoints")->setText("5");
    const QString status = w->StatusText();
    Find<QAction>(w, "mnFileOpen")->trigger();  // nothing scripted: cancelled
    QCOMPARE(int(f.prompts.choosers.size()), 2);
    QCOMPARE(Find<QLineEdit>(w, "taskPoints")->text(), QString("5"));
    QCOMPARE(w->SegmentsGridRowCount(), 2);
    QCOMPARE(w->StatusText(), status);
    QVERIFY(Find<QTimer>(w, "Timer1")->isActive());
  }

  void aFileAskedForDuringADownloadSaysWhenItOpens() {
    AppFixture f;
    ErasedLogger logger;
    f.SetSetting("APPLICATIONS/ORVALD/COM_PORT", 1);
    f.SetSetting("APPLICATIONS/ORVALD/DATA_DIR", f.path("data"));
    QVERIFY(QDir().mkpath(f.path("data")));
    const std::string stationFile = f.spath("data/QC555-20261208-140012.G00");
    QVERIFY(WriteRawFile(stationFile, {{10, 0, 30, {}}}, "QC555"));
    AppEnvironment env = f.Environment();
    env.commands = &logger;
    auto w = f.Start(env);
    QString saidMidway;
    logger.midway = [&] {
      w->OpenLogFile(stationFile);  // a station's row double-clicked while COM1 downloads
      saidMidway = w->StatusText();
    };
    w->Timer1Timer();
    QCOMPARE(saidMidway, QString("QC555-20261208-140012.G00 opens here when the exchange on COM1 is over"));
    QTRY_COMPARE(Find<QLineEdit>(w, "LoggerSN")->text(), QString("QC555"));  // and it does, after
  }

  void forceDownloadForgetsTheLastLogger() {
    AppFixture f;
    ErasedLogger logger;
    f.SetSetting("APPLICATIONS/ORVALD/COM_PORT", 1);
    f.SetSetting("APPLICATIONS/ORVALD/DATA_DIR", f.path("data"));
    AppEnvironment env = f.Environment();
    env.commands = &logger;
    auto w = f.Start(env);
    w->Timer1Timer();
    QCOMPARE(w->lastSerialText(), std::string("PK-1"));
    Find<QPushButton>(w, "btnForceDl")->click();
    QVERIFY(w->lastSerialText().empty());
  }

  void exitClosesTheWindow() {
    AppFixture f;
    auto w = f.Start();
    w->show();
    QVERIFY(w->isVisible());
    Find<QAction>(w, "mnFileExit")->trigger();
    QVERIFY(!w->isVisible());
  }
};

QTEST_MAIN(WindowControlsTest)
#include "test_window_controls.moc"
