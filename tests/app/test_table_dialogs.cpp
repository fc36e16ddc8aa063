// The Serial Numbers and Task Windows dialogs driven through their cell
// editors, the start-up that creates them, and the Task Window page choosing
// a task from the table and saving the segments it selects.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "app/edit_mask.h"
#include "app/table_dialogs.h"
#include "app/table_grid_view.h"
#include "app/table_queries.h"
#include "app_fixture.h"
#include "tables/loggers_table.h"
#include "tables/tasks_table.h"

using namespace orvald;
using namespace orvald::testing;

namespace {

std::string ReadBytes(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const QString& path, const std::string& bytes) {
  std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

QStringList Entries(QComboBox* box) {
  QStringList entries;
  for (int i = 0; i < box->count(); ++i) entries << box->itemText(i);
  return entries;
}

QStringList BoxTexts(const ScriptedPrompts& prompts) {
  QStringList texts;
  for (const AskedBox& box : prompts.boxes) texts << QString::fromStdString(box.text);
  return texts;
}

// Six segments on 2025/07/21, ten minutes apart from 10:00:00 UTC.
const std::vector<RunSpec> kRuns = {
    {10, 0, 30, {5}}, {10, 10, 20, {}}, {10, 20, 40, {1, 2}}, {10, 30, 10, {}}, {10, 40, 25, {24}}, {10, 50, 15, {}},
};

}  // namespace

class TableDialogsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<AppFixture> f;
  // The tables outlive the window, whose children the dialogs are.
  std::unique_ptr<LoggersTable> loggers;
  std::unique_ptr<TasksTable> tasks;
  std::unique_ptr<LoggersTableLookup> lookup;
  std::unique_ptr<TfrmMain> w;
  TableDialogs d;

  // Start-up with the given table files in the data folder (none when empty).
  void StartWith(const std::string& loggersFile, const std::string& tasksFile) {
    QDir().mkpath(f->path("data"));
    if (!loggersFile.empty()) WriteBytes(f->path("data/loggers.tsv"), loggersFile);
    if (!tasksFile.empty()) WriteBytes(f->path("data/tasks.tsv"), tasksFile);
    f->prompts.directories.push_back(f->spath("data"));
    AppEnvironment env = f->Environment();
    env.lookup = lookup.get();
    w = f->Start(env);
    d = CreateTableDialogs(*w, *loggers, *tasks, f->prompts);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
  }

  void Show(QPushButton* editButton, QDialog* dialog) {
    editButton->click();
    QVERIFY(dialog->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
  }

  static QLineEdit* Editor(TableGridView* grid) {
    QLineEdit* editor = grid->CellEditor();
    if (!editor) qWarning("no cell editor is open");
    return editor;
  }
  // What the operator's keys do: they go to the open cell editor.
  static void Key(TableGridView* grid, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QLineEdit* editor = Editor(grid);
    if (editor) QTest::keyClick(editor, key, modifiers);
  }
  static void Type(TableGridView* grid, const QString& text) {
    QLineEdit* editor = Editor(grid);
    if (editor) QTest::keyClicks(editor, text);
  }
  // The cursor's cell as (column, grid row).
  static QPair<int, int> Cursor(TableGridView* grid) {
    return {grid->currentIndex().column(), grid->currentIndex().row() + 1};
  }

 private slots:
  void init() {
    f = std::make_unique<AppFixture>();
    loggers = std::make_unique<LoggersTable>();
    tasks = std::make_unique<TasksTable>();
    lookup = std::make_unique<LoggersTableLookup>(*loggers);
  }
  void cleanup() {
    w.reset();
    lookup.reset();
    tasks.reset();
    loggers.reset();
    f.reset();
  }

  void missingFilesAreReportedInOrderBeforeTheMainWindowShows() {
    QStringList visibleWhileAsked;
    f->prompts.whileAsking = [&](const AskedBox&) { visibleWhileAsked << (w && w->isVisible() ? "shown" : "hidden"); };
    StartWith("", "");
    // Each box names the file, the folder it was looked for in, and what the first OK does.
    const QString folder = QString::fromStdString(f->spath("data"));
    QCOMPARE(BoxTexts(f->prompts),
             QStringList({"Can't read Loggers file\n\nThere is no loggers.tsv in " + folder +
                              " yet; an empty table will be created there at the first OK.",
                          "Can't read Tasks file\n\nThere is no tasks.tsv in " + folder +
                              " yet; an empty table will be created there at the first OK."}));
    QCOMPARE(visibleWhileAsked, QStringList({"hidden", "hidden"}));
    for (const AskedBox& box : f->prompts.boxes) {
      QVERIFY(box.icon == PromptIcon::kError);
      QVERIFY(box.buttons == PromptButtons::kOk);
    }
    // Each table is left with one empty row, and the task list holds its one empty number.
    QCOMPARE(loggers->grid().rowCount(), 2);
    QCOMPARE(tasks->grid().rowCount(), 2);
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({""}));
    QVERIFY(!d.SerialNumbersDlg->isVisible());
    QVERIFY(!d.TaskWindowsDlg->isVisible());
  }

  void dialogsCarryTheirCaptionsColumnsAndButtons() {
    StartWith("QA712\t007\tCrew One\r\n", "03\t2007/04/10\t10:30:00\t16:00:00\r\n");
    QVERIFY(f->prompts.boxes.empty());

    TSerialNumbersDlg* sn = w->findChild<TSerialNumbersDlg*>("SerialNumbersDlg");
    QCOMPARE(sn, d.SerialNumbersDlg);
    QCOMPARE(sn->windowTitle(), QString("Serial Numbers"));
    QCOMPARE(sn->findChild<QPushButton*>("Button2")->text(), QString("OK"));
    QCOMPARE(sn->findChild<QPushButton*>("Button1")->text(), QString("Cancel"));
    QVERIFY(sn->findChild<QPushButton*>("HelpBtn")->isHidden());  // no help file ships
    auto* snGrid = sn->findChild<TableGridView*>("SerialNumGrid");
    QVERIFY(snGrid);
    const int snWidths[] = {110, 54, 202};
    const char* snHeadings[] = {"Serial Number", "Comp #", "Comp Name(s)"};
    QCOMPARE(snGrid->model()->columnCount(), 3);
    for (int c = 0; c < 3; ++c) {
      QCOMPARE(snGrid->columnWidth(c), snWidths[c]);
      QCOMPARE(snGrid->model()->headerData(c, Qt::Horizontal).toString(), QString(snHeadings[c]));
      QCOMPARE(snGrid->horizontalHeader()->sectionResizeMode(c), QHeaderView::Interactive);
    }
    QCOMPARE(snGrid->rowHeight(0), 16);
    QVERIFY(snGrid->verticalHeader()->isHidden());

    TTaskWindowsDlg* tw = w->findChild<TTaskWindowsDlg*>("TaskWindowsDlg");
    QCOMPARE(tw, d.TaskWindowsDlg);
    QCOMPARE(tw->windowTitle(), QString("Task Windows"));
    QCOMPARE(tw->findChild<QPushButton*>("Button1")->text(), QString("OK"));
    QCOMPARE(tw->findChild<QPushButton*>("CancelBtn")->text(), QString("Cancel"));
    QVERIFY(tw->findChild<QPushButton*>("HelpBtn")->isHidden());
    auto* twGrid = tw->findChild<TableGridView*>("TaskWindowsGrid");
    const int twWidths[] = {48, 109, 128, 128};
    const char* twHeadings[] = {"Task #", "Date (yyyy/mm/dd)", "Start (UTC hh:mm:ss)", "Finish (UTC hh:mm:ss)"};
    QCOMPARE(twGrid->model()->columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
      QCOMPARE(twGrid->columnWidth(c), twWidths[c]);
      QCOMPARE(twGrid->model()->headerData(c, Qt::Horizontal).toString(), QString(twHeadings[c]));
    }
    QCOMPARE(twGrid->rowHeight(0), 16);

    // Both open without blocking the main window.
    Show(Find<QPushButton>(w, "btnEdit"), sn);
    Show(Find<QPushButton>(w, "btnEditTask"), tw);
    QVERIFY(!sn->isModal());
    QVERIFY(!tw->isModal());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(w->isEnabled());
    Find<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);  // the main window still answers
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->currentIndex(), 1);
    QVERIFY(f->prompts.boxes.empty());
    QVERIFY(sn->isVisible() && tw->isVisible());
  }

  void loggersAreEditedThroughTheCellEditorAndSavedByteForByte() {
    StartWith("QA712\t007\tCrew One\r\n", "03\t2007/04/10\t10:30:00\t16:00:00\r\n");
    TSerialNumbersDlg* sn = d.SerialNumbersDlg;
    TableGridView* grid = Find<TableGridView>(sn, "SerialNumGrid");
    Show(Find<QPushButton>(w, "btnEdit"), sn);

    // The editor is open on the first cell and follows Tab and Shift+Tab.
    QCOMPARE(Cursor(grid), qMakePair(0, 1));
    QCOMPARE(Editor(grid)->displayText(), QString("QA712"));
    QVERIFY(Editor(grid)->inputMask().isEmpty());
    Key(grid, Qt::Key_Tab);
    QCOMPARE(Cursor(grid), qMakePair(1, 1));
    QCOMPARE(Editor(grid)->displayText(), QString("007"));
    QVERIFY(!Editor(grid)->inputMask().isEmpty());
    Key(grid, Qt::Key_Tab);
    QCOMPARE(Cursor(grid), qMakePair(2, 1));
    Key(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(Cursor(grid), qMakePair(1, 1));
    QVERIFY(!sn->modified());

    // Exactly three digits: a letter over the selected number leaves it as it
    // was, and a number left short is padded as the column writes them.
    Type(grid, "x");
    QCOMPARE(Editor(grid)->displayText(), QString("007"));
    QCOMPARE(loggers->grid().Cell(1, 1), std::string("007"));
    QVERIFY(!sn->modified());
    Type(grid, "1x2");
    QCOMPARE(loggers->grid().Cell(1, 1), std::string("12 "));
    QVERIFY(sn->modified());
    Key(grid, Qt::Key_Tab);
    QCOMPARE(loggers->grid().Cell(1, 1), std::string("012"));
    Key(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    Type(grid, "042");
    Key(grid, Qt::Key_Tab);
    QCOMPARE(loggers->grid().Cell(1, 1), std::string("042"));
    Type(grid, "Pilot Two");
    // The download sees the edits before they are saved.
    const LoggerMatch seen = lookup->FindLogger("QA712-B");
    QVERIFY(seen.found);
    QCOMPARE(seen.competNo, std::string("042"));
    QCOMPARE(seen.pilotNames, std::string("Pilot Two"));

    // Down on the last row adds an empty row and moves into it; Up takes it away again.
    Key(grid, Qt::Key_Down);
    QCOMPARE(loggers->grid().rowCount(), 3);
    QCOMPARE(Cursor(grid), qMakePair(2, 2));
    QVERIFY(Editor(grid));
    Key(grid, Qt::Key_Up);
    QCOMPARE(loggers->grid().rowCount(), 2);
    QCOMPARE(Cursor(grid), qMakePair(2, 1));
    // Up on the only data row changes nothing.
    Key(grid, Qt::Key_Up);
    QCOMPARE(loggers->grid().rowCount(), 2);

    // A masked cell left with only blanks still counts as blank.
    Key(grid, Qt::Key_Down);
    Key(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(Cursor(grid), qMakePair(1, 2));
    Type(grid, "5");
    Key(grid, Qt::Key_Backspace);
    QCOMPARE(loggers->grid().Cell(1, 2), std::string("   "));
    Key(grid, Qt::Key_Up);
    QCOMPARE(loggers->grid().rowCount(), 2);

    // A last row with text stays; Down from a row above the last only moves.
    Key(grid, Qt::Key_Down);
    Type(grid, "512");
    QCOMPARE(loggers->grid().Cell(1, 2), std::string("512"));
    Key(grid, Qt::Key_Up);
    QCOMPARE(loggers->grid().rowCount(), 3);
    QCOMPARE(Cursor(grid), qMakePair(1, 1));
    Key(grid, Qt::Key_Down);
    QCOMPARE(loggers->grid().rowCount(), 3);
    QCOMPARE(Cursor(grid), qMakePair(1, 2));

    Find<QPushButton>(sn, "Button2")->click();
    QVERIFY(!sn->isVisible());
    QVERIFY(f->prompts.boxes.empty());
    QCOMPARE(ReadBytes(f->path("data/loggers.tsv")), std::string("QA712\t042\tPilot Two\r\n\t512\t\r\n"));
  }

  // Short input under a mask: padded where the column's own form says how,
  // otherwise kept as typed with the reason; never blanked.
  void shortMaskedInputIsPaddedOrKeptNeverBlanked() {
    struct Case {
      const char* mask;
      const char* shown;
      std::vector<QString> column;
      const char* kept;
      bool reason;
    } cases[] = {
        {"000;1;?", "44 ", {"007", "   "}, "044", false},
        {"000;1;?", "44 ", {}, "044", false},
        {"00", "3 ", {"1", "2"}, "3", true},  // the file writes tasks unpadded
        {"00", "3 ", {"01"}, "03", false},
        {"0000/00/00", "2026/1 /  ", {}, "2026/1 /", true},
        {"000;1;?", "012", {"7"}, "012", false},  // whole input is never touched
    };
    for (const Case& c : cases) {
      const SettledCell settled = SettleMaskedText(c.mask, c.shown, c.column);
      QCOMPARE(settled.text, QString(c.kept));
      QVERIFY2(settled.reason.empty() != c.reason, c.shown);
    }
  }

  void okInTheSerialNumbersDialogNamesThePilotOfTheLogOnScreen() {
    StartWith("QA712\t007\tCrew One\r\n", "03\t2007/04/10\t10:30:00\t16:00:00\r\n");
    QVERIFY(WriteRawFile(f->spath("data/new.G00"), {{10, 0, 30, {}}}, "ZZ-NEW1"));
    f->prompts.files.push_back(f->spath("data/new.G00"));
    w->mnFileOpenClick();
    QCOMPARE(Find<QLineEdit>(w, "CompetNo")->text(), QString());
    QCOMPARE(w->StatusText(), QString("Serial ZZ-NEW1 is not in the loggers table"));

    TSerialNumbersDlg* sn = d.SerialNumbersDlg;
    TableGridView* grid = Find<TableGridView>(sn, "SerialNumGrid");
    // Edit opens on a new row that holds the serial shown, at its number: an
    // edit, which Cancel would ask about.
    Show(Find<QPushButton>(w, "btnEdit"), sn);
    QCOMPARE(Cursor(grid), qMakePair(1, 2));
    QVERIFY(sn->modified());
    Type(grid, "055");
    Key(grid, Qt::Key_Tab);
    Type(grid, "New Pilot");
    Find<QPushButton>(sn, "Button2")->click();
    QCOMPARE(Find<QLineEdit>(w, "CompetNo")->text(), QString("055"));
    QCOMPARE(Find<QLineEdit>(w, "PilotNames")->text(), QString("New Pilot"));
    QCOMPARE(Find<QLineEdit>(w, "LoggerSN")->text(), QString("ZZ-NEW1"));
  }

  void loggersCancelAsksOnlyAfterAnEdit() {
    const std::string file = "QA712\t007\tCrew One\r\n712\t008\tCrew Two\r\n";
    StartWith(file, "03\t2007/04/10\t10:30:00\t16:00:00\r\n");
    TSerialNumbersDlg* sn = d.SerialNumbersDlg;
    TableGridView* grid = Find<TableGridView>(sn, "SerialNumGrid");

    // Moving through the cells is no edit: Cancel closes without a question.
    Show(Find<QPushButton>(w, "btnEdit"), sn);
    for (int i = 0; i < 5; ++i) Key(grid, Qt::Key_Tab);
    Key(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    Find<QPushButton>(sn, "Button1")->click();
    QVERIFY(!sn->isVisible());
    QVERIFY(f->prompts.boxes.empty());

    // After an edit Cancel asks; Cancel in the box keeps the dialog and the edit.
    Show(Find<QPushButton>(w, "btnEdit"), sn);
    QVERIFY(!sn->modified());
    QCOMPARE(Cursor(grid), qMakePair(1, 2));  // the cursor stays where it was left
    Key(grid, Qt::Key_Up);
    Key(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(Cursor(grid), qMakePair(0, 1));
    Type(grid, "QA7");
    QCOMPARE(lookup->FindLogger("QA712").competNo, std::string("008"));
    f->prompts.answers = {PromptAnswer::kCancel};
    Find<QPushButton>(sn, "Button1")->click();
    QCOMPARE(BoxTexts(f->prompts), QStringList({"Discard changes?"}));
    QVERIFY(f->prompts.boxes[0].icon == PromptIcon::kWarning);
    QVERIFY(f->prompts.boxes[0].buttons == PromptButtons::kOkCancel);
    QVERIFY(sn->isVisible());
    QCOMPARE(loggers->grid().Cell(0, 1), std::string("QA7"));

    // OK in the box reads the file again and closes.
    f->prompts.answers = {PromptAnswer::kOk};
    Find<QPushButton>(sn, "Button1")->click();
    QCOMPARE(int(f->prompts.boxes.size()), 2);
    QVERIFY(!sn->isVisible());
    QCOMPARE(loggers->grid().Cell(0, 1), std::string("QA712"));
    QCOMPARE(grid->model()->index(0, 0).data().toString(), QString("QA712"));
    QCOMPARE(lookup->FindLogger("QA712").competNo, std::string("008"));  // the last match wins again
    QCOMPARE(ReadBytes(f->path("data/loggers.tsv")), file);

    // Shown again, the dialog starts unmodified.
    Show(Find<QPushButton>(w, "btnEdit"), sn);
    QVERIFY(!sn->modified());
    Find<QPushButton>(sn, "Button1")->click();
    QCOMPARE(int(f->prompts.boxes.size()), 2);
  }

  void editOpensOnTheRowOfTheSerialShown() {
    StartWith("QA712\t007\tCrew One\r\nQB9\t008\tCrew Two\r\n", "03\t2007/04/10\t10:30:00\t16:00:00\r\n");
    TSerialNumbersDlg* sn = d.SerialNumbersDlg;
    TableGridView* grid = Find<TableGridView>(sn, "SerialNumGrid");
    auto* serialShown = Find<QLineEdit>(w, "LoggerSN");

    // A known logger: its own row, on the number; nothing is changed.
    serialShown->setText("QB9");
    Show(Find<QPushButton>(w, "btnEdit"), sn);
    QCOMPARE(Cursor(grid), qMakePair(1, 2));
    QVERIFY(!sn->modified());
    Find<QPushButton>(sn, "Button1")->click();
    QVERIFY(!sn->isVisible());
  }

  void theCloseBoxAnswersLikeCancel() {
    StartWith("QA712\t007\tCrew One\r\n", "03\t2007/04/10\t10:30:00\t16:00:00\r\n");
    TSerialNumbersDlg* sn = d.SerialNumbersDlg;
    Show(Find<QPushButton>(w, "btnEdit"), sn);
    QVERIFY(sn->close());
    QVERIFY(f->prompts.boxes.empty());

    Show(Find<QPushButton>(w, "btnEdit"), sn);
    Type(Find<TableGridView>(sn, "SerialNumGrid"), "QZ");
    f->prompts.answers = {PromptAnswer::kCancel};
    QVERIFY(!sn->close());
    QVERIFY(sn->isVisible());
    QCOMPARE(BoxTexts(f->prompts), QStringList({"Discard changes?"}));
    QCOMPARE(loggers->grid().Cell(0, 1), std::string("QZ"));
  }

  void loggersWriteFailureKeepsTheEditsInMemory() {
    StartWith("QA712\t007\tCrew One\r\n", "03\t2007/04/10\t10:30:00\t16:00:00\r\n");
    TSerialNumbersDlg* sn = d.SerialNumbersDlg;
    Show(Find<QPushButton>(w, "btnEdit"), sn);
    Type(Find<TableGridView>(sn, "SerialNumGrid"), "QB9");
    // The data folder vanishes under the program.
    QDir().mkpath(f->path("doomed"));
    QDir::setCurrent(f->path("doomed"));
    QVERIFY(QDir(f->path("doomed")).removeRecursively());
    Find<QPushButton>(sn, "Button2")->click();
    QCOMPARE(BoxTexts(f->prompts), QStringList({"Can't write Loggers file"}));
    QVERIFY(f->prompts.boxes[0].icon == PromptIcon::kError);
    QVERIFY(!sn->isVisible());
    QVERIFY(lookup->FindLogger("QB9-1").found);
  }

  void tasksAreEditedThroughTheCellEditorAndOkRefillsTheTaskList() {
    const std::string file = "03\t2007/04/10\t10:30:00\t16:00:00\r\n";
    StartWith("QA712\t007\tCrew One\r\n", file);
    TTaskWindowsDlg* tw = d.TaskWindowsDlg;
    TableGridView* grid = Find<TableGridView>(tw, "TaskWindowsGrid");
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({"03"}));
    Show(Find<QPushButton>(w, "btnEditTask"), tw);

    // The masks hold their literals; a typed date fills its places in order.
    Key(grid, Qt::Key_Down);
    QCOMPARE(tasks->grid().rowCount(), 3);
    QCOMPARE(Cursor(grid), qMakePair(0, 2));
    Type(grid, "4");
    QCOMPARE(tasks->grid().Cell(0, 2), std::string("4 "));
    Key(grid, Qt::Key_Backspace);
    Type(grid, "04");
    Key(grid, Qt::Key_Tab);
    QCOMPARE(Editor(grid)->displayText(), QString("    /  /  "));
    Type(grid, "20070411");
    QCOMPARE(tasks->grid().Cell(1, 2), std::string("2007/04/11"));
    Key(grid, Qt::Key_Tab);
    QCOMPARE(Editor(grid)->displayText(), QString("  :  :  "));
    Type(grid, "93000");  // the first hour place is optional, but typing fills places in order
    QCOMPARE(tasks->grid().Cell(2, 2), std::string("93:00:0 "));
    Editor(grid)->selectAll();
    Key(grid, Qt::Key_Delete);
    QCOMPARE(tasks->grid().Cell(2, 2), std::string("  :  :  "));
    Type(grid, "093000");
    QCOMPARE(tasks->grid().Cell(2, 2), std::string("09:30:00"));
    Key(grid, Qt::Key_Tab);
    Type(grid, "153000");
    // The queries read the table as edited, before any save.
    QCOMPARE(tasks->TaskFinish("04"), std::string("15:30:00"));
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({"03"}));

    // A third row left with the masks' blanks goes again with Up.
    Key(grid, Qt::Key_Down);
    Key(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    Key(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(Cursor(grid), qMakePair(1, 3));
    Type(grid, "2");
    Key(grid, Qt::Key_Backspace);
    Key(grid, Qt::Key_Tab);
    Type(grid, "1");
    Key(grid, Qt::Key_Backspace);
    QCOMPARE(tasks->grid().Cell(1, 3), std::string("    /  /  "));
    QCOMPARE(tasks->grid().Cell(2, 3), std::string("  :  :  "));
    QCOMPARE(tasks->grid().Cell(3, 3), std::string(""));
    Key(grid, Qt::Key_Up);
    QCOMPARE(tasks->grid().rowCount(), 3);
    QCOMPARE(Cursor(grid), qMakePair(2, 2));

    Find<QPushButton>(tw, "Button1")->click();
    QVERIFY(!tw->isVisible());
    QVERIFY(f->prompts.boxes.empty());
    QCOMPARE(ReadBytes(f->path("data/tasks.tsv")), file + "04\t2007/04/11\t09:30:00\t15:30:00\r\n");
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({"03", "04"}));
  }

  void aTaskThatEndsBeforeItStartsLoadsButOkRefusesIt() {
    const std::string file = "03\t2007/04/10\t10:30:00\t16:00:00\r\n05\t2007/04/10\t21:00:00\t20:00:00\r\n";
    StartWith("QA712\t007\tCrew One\r\n", file);
    TTaskWindowsDlg* tw = d.TaskWindowsDlg;
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({"03", "05"}));
    Show(Find<QPushButton>(w, "btnEditTask"), tw);
    Find<QPushButton>(tw, "Button1")->click();
    QVERIFY(tw->isVisible());
    QCOMPARE(int(f->prompts.boxes.size()), 1);
    QCOMPARE(f->prompts.boxes[0].text,
             std::string("Task 05 ends before it starts (21:00:00-20:00:00): correct its times, then press OK again."));
    QCOMPARE(ReadBytes(f->path("data/tasks.tsv")), file);
  }

  void tasksWriteFailureStillRefillsTheTaskListFromTheEdits() {
    StartWith("QA712\t007\tCrew One\r\n", "03\t2007/04/10\t10:30:00\t16:00:00\r\n");
    TTaskWindowsDlg* tw = d.TaskWindowsDlg;
    Show(Find<QPushButton>(w, "btnEditTask"), tw);
    Type(Find<TableGridView>(tw, "TaskWindowsGrid"), "08");
    QDir().mkpath(f->path("doomed"));
    QDir::setCurrent(f->path("doomed"));
    QVERIFY(QDir(f->path("doomed")).removeRecursively());
    Find<QPushButton>(tw, "Button1")->click();
    QCOMPARE(BoxTexts(f->prompts), QStringList({"Can't write tasks file"}));
    QVERIFY(f->prompts.boxes[0].icon == PromptIcon::kError);
    QVERIFY(!tw->isVisible());
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({"08"}));
    QCOMPARE(tasks->TaskDate("08"), std::string("2007/04/10"));
    QCOMPARE(ReadBytes(f->path("data/tasks.tsv")), std::string("03\t2007/04/10\t10:30:00\t16:00:00\r\n"));
  }

  void aSingleSpaceIsNotABlankTaskDate() {
    StartWith("QA712\t007\tCrew One\r\n", "03\t2007/04/10\t10:30:00\t16:00:00\r\n\t \t\t\r\n");
    TTaskWindowsDlg* tw = d.TaskWindowsDlg;
    TableGridView* grid = Find<TableGridView>(tw, "TaskWindowsGrid");
    QCOMPARE(tasks->grid().rowCount(), 3);
    Show(Find<QPushButton>(w, "btnEditTask"), tw);
    Key(grid, Qt::Key_Down);  // from row 1 into the last row: a move, no new row
    QCOMPARE(Cursor(grid), qMakePair(0, 2));
    QCOMPARE(tasks->grid().rowCount(), 3);
    Key(grid, Qt::Key_Up);
    QCOMPARE(tasks->grid().rowCount(), 3);
    QCOMPARE(Cursor(grid), qMakePair(0, 1));
    QCOMPARE(tasks->grid().Cell(1, 2), std::string(" "));
    // Only looking at the cell never rewrites it in the mask's form.
    Key(grid, Qt::Key_Down);
    Key(grid, Qt::Key_Tab);
    QCOMPARE(tasks->grid().Cell(1, 2), std::string(" "));
  }

  void tasksCancelAfterAnEditRestoresTheFileAndTheTaskList() {
    const std::string file = "03\t2007/04/10\t10:30:00\t16:00:00\r\n05\t2007/04/12\t11:00:00\t15:00:00\r\n";
    StartWith("QA712\t007\tCrew One\r\n", file);
    TTaskWindowsDlg* tw = d.TaskWindowsDlg;
    TableGridView* grid = Find<TableGridView>(tw, "TaskWindowsGrid");
    Find<QComboBox>(w, "WindowTask")->setCurrentIndex(1);
    QCOMPARE(Find<QLineEdit>(w, "Date")->text(), QString("2007/04/12"));

    // Cancel right after showing: no question.
    Show(Find<QPushButton>(w, "btnEditTask"), tw);
    Find<QPushButton>(tw, "CancelBtn")->click();
    QVERIFY(!tw->isVisible());
    QVERIFY(f->prompts.boxes.empty());

    // The task list is not refilled by an unsaved edit; the queries see it all the same.
    Show(Find<QPushButton>(w, "btnEditTask"), tw);
    Key(grid, Qt::Key_Down);
    Type(grid, "07");
    QCOMPARE(tasks->grid().Cell(0, 2), std::string("07"));
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({"03", "05"}));
    QVERIFY(tasks->TaskDate("05").empty());
    f->prompts.answers = {PromptAnswer::kOk};
    Find<QPushButton>(tw, "CancelBtn")->click();
    QCOMPARE(BoxTexts(f->prompts), QStringList({"Discard changes?"}));
    QVERIFY(f->prompts.boxes[0].icon == PromptIcon::kWarning);
    QVERIFY(!tw->isVisible());
    QCOMPARE(tasks->grid().Cell(0, 2), std::string("05"));
    QCOMPARE(grid->model()->index(1, 0).data().toString(), QString("05"));
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({"03", "05"}));
    QCOMPARE(Find<QComboBox>(w, "WindowTask")->currentText(), QString("05"));
    QCOMPARE(Find<QLineEdit>(w, "Date")->text(), QString("2007/04/12"));
    QCOMPARE(ReadBytes(f->path("data/tasks.tsv")), file);
  }

  void taskWindowPageChoosesSavesAndLosesATask() {
    // The logger's row gives the competition number and names the file takes.
    StartWith("TEST01\t012\tPilot One\r\n",
              "04\t2025/07/21\t10:10:10\t10:30:05\r\n05\t2025/07/21\t11:30:00\t12:00:00\r\n");
    QVERIFY(WriteRawFile(f->spath("data/flight.G00"), kRuns));
    f->prompts.files.push_back(f->spath("data/flight.G00"));
    w->mnFileOpenClick();
    QCOMPARE(w->SegmentsGridRowCount(), 7);
    QCOMPARE(Find<QLineEdit>(w, "CompetNo")->text(), QString("012"));
    QCOMPARE(Find<QLineEdit>(w, "PilotNames")->text(), QString("Pilot One"));

    Find<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({"04", "05"}));
    Find<QComboBox>(w, "WindowTask")->setCurrentIndex(0);
    QCOMPARE(Find<QLineEdit>(w, "Date")->text(), QString("2025/07/21"));
    QCOMPARE(Find<QLineEdit>(w, "TimeFrom")->text(), QString("10:10:10"));
    QCOMPARE(Find<QLineEdit>(w, "TimeTo")->text(), QString("10:30:05"));
    // The end of segment 2, all of 3 and the start of 4: grid rows 2 to 4, every column.
    QCOMPARE(w->selection().firstSegment(), 1);
    QCOMPARE(w->selection().lastSegment(), 3);
    const QModelIndexList selected = Find<QTableView>(w, "SegmentsGrid")->selectionModel()->selectedIndexes();
    QCOMPARE(int(selected.size()), 3 * 7);
    for (const QModelIndex& index : selected) QVERIFY(index.row() >= 1 && index.row() <= 3);
    int points = 0;
    int events = 0;
    for (int row = 2; row <= 4; ++row) {
      points += w->SegmentsGridCell(5, row).toInt();
      events += w->SegmentsGridCell(6, row).toInt();
    }
    QCOMPARE(Find<QLineEdit>(w, "taskPoints")->text(), QString::number(points));
    QCOMPARE(Find<QLineEdit>(w, "taskEvents")->text(), QString::number(events));
    QCOMPARE(points, 20 + 40 + 10);
    QVERIFY(Find<QPushButton>(w, "btnSave")->isEnabled());

    // Save writes exactly the selected segments' fixes, in order.
    Find<QPushButton>(w, "btnSave")->click();
    QVERIFY(f->prompts.boxes.empty());
    const std::string message = w->StatusText().toStdString();
    QVERIFY2(message.rfind("File 012T04", 0) == 0 && message.size() > 12, message.c_str());
    const std::string fileName = message.substr(5, message.size() - 5 - std::string(" saved!").size());
    const std::string igc = ReadBytes(f->path(QString::fromStdString("data/" + fileName)));
    QVERIFY(!igc.empty());
    std::vector<std::string> written;
    std::istringstream lines(igc);
    for (std::string line; std::getline(lines, line);)
      if (!line.empty() && line[0] == 'B') written.push_back(line.substr(1, 6));
    std::vector<std::string> expected;
    const TrackTable& table = w->trackTable();
    for (int s = 1; s <= 3; ++s) {
      for (int p = table.segments()[s].firstPoint; p <= table.segments()[s].lastPoint; ++p) {
        const TrackPoint& point = table.points()[p];
        char hhmmss[16];
        std::snprintf(hhmmss, sizeof hhmmss, "%02d%02d%02d", point.hour, point.minute, point.second);
        expected.push_back(hhmmss);
      }
    }
    QCOMPARE(written.size(), expected.size());
    QVERIFY(written == expected);
    QCOMPARE(written.front(), std::string("101000"));
    QCOMPARE(written.back(), std::string("103009"));

    // Task 04 deleted in the dialog and saved: the chooser shows "--" and the
    // task's fields empty, while the selection and Save stay as they were.
    TTaskWindowsDlg* tw = d.TaskWindowsDlg;
    Show(Find<QPushButton>(w, "btnEditTask"), tw);
    Type(Find<TableGridView>(tw, "TaskWindowsGrid"), "06");
    Find<QPushButton>(tw, "Button1")->click();
    QCOMPARE(Entries(Find<QComboBox>(w, "WindowTask")), QStringList({"06", "05"}));
    QCOMPARE(Find<QComboBox>(w, "WindowTask")->currentText(), QString("--"));
    QVERIFY(Find<QLineEdit>(w, "Date")->text().isEmpty());
    QVERIFY(Find<QLineEdit>(w, "TimeFrom")->text().isEmpty());
    QVERIFY(Find<QLineEdit>(w, "TimeTo")->text().isEmpty());
    QCOMPARE(Find<QTableView>(w, "SegmentsGrid")->selectionModel()->selectedIndexes().size(), 3 * 7);
    QVERIFY(Find<QPushButton>(w, "btnSave")->isEnabled());
    QCOMPARE(w->selection().firstSegment(), 1);
    QCOMPARE(w->selection().lastSegment(), 3);

    // A task whose window lies after the last segment selects nothing.
    Find<QComboBox>(w, "WindowTask")->setCurrentIndex(1);
    QCOMPARE(Find<QLineEdit>(w, "Date")->text(), QString("2025/07/21"));
    QCOMPARE(w->selection().firstSegment(), -1);
    QVERIFY(!Find<QPushButton>(w, "btnSave")->isEnabled());
    QVERIFY(Find<QLineEdit>(w, "taskPoints")->text().isEmpty());
    QVERIFY(Find<QTableView>(w, "SegmentsGrid")->selectionModel()->selectedIndexes().isEmpty());
  }
};

QTEST_MAIN(TableDialogsTest)
#include "test_table_dialogs.moc"
