// Choosing a run of segments with the mouse or a task window, the fields
// and totals that follow, the tab rules, and Save with its message boxes.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <fstream>
#include <random>
#include <sstream>

#include "app_fixture.h"
#include "logger/logger_lookup.h"

using namespace orvald;
using namespace orvald::testing;

namespace {

class PilotLookup : public LoggerLookup {
 public:
  LoggerMatch FindLogger(const std::string& serial) override {
    if (serial == "PK-TEST01") return {true, "12", "Pilot One"};
    return {};
  }
};

// Six segments: points and events per segment.
const std::vector<RunSpec> kRuns = {
    {10, 0, 30, {5}}, {10, 10, 20, {}}, {10, 20, 40, {1, 2}}, {10, 30, 10, {}}, {10, 40, 25, {24}}, {10, 50, 15, {}},
};
const int kPoints[] = {30, 20, 40, 10, 25, 15};
const int kEvents[] = {1, 0, 2, 0, 1, 0};

int Sum(const int* values, int first, int last) {
  int sum = 0;
  for (int i = first; i <= last; ++i) sum += values[i];
  return sum;
}

struct RecordCounts {
  int b = 0;
  int e = 0;
};
RecordCounts CountRecords(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  RecordCounts counts;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == 'B') ++counts.b;
    if (!line.empty() && line[0] == 'E') ++counts.e;
  }
  return counts;
}

}  // namespace

class SelectionSaveTest : public QObject {
  Q_OBJECT

  std::unique_ptr<AppFixture> f;
  PilotLookup lookup;
  std::unique_ptr<TfrmMain> w;

  QWidget* viewport() { return Find<QTableView>(w, "SegmentsGrid")->viewport(); }
  QPoint RowPoint(int gridRow) {
    return Find<QTableView>(w, "SegmentsGrid")->visualRect(Find<QTableView>(w, "SegmentsGrid")->model()->index(gridRow - 1, 1)).center();
  }
  void Drag(int fromRow, int toRow) {
    QTest::mousePress(viewport(), Qt::LeftButton, {}, RowPoint(fromRow));
    QTest::mouseMove(viewport(), RowPoint(toRow));
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, RowPoint(toRow));
  }
  void Click(int gridRow, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(viewport(), Qt::LeftButton, modifiers, RowPoint(gridRow));
  }
  QPoint HeadingPoint() {
    QHeaderView* header = Find<QTableView>(w, "SegmentsGrid")->horizontalHeader();
    return QPoint(header->sectionViewportPosition(1) + 20, header->height() / 2);
  }
  // The grid rows highlighted now.
  std::pair<int, int> Highlighted() {
    int first = -1, last = -1;
    for (const QModelIndex& index : Find<QTableView>(w, "SegmentsGrid")->selectionModel()->selectedRows()) {
      first = first < 0 ? index.row() + 1 : std::min(first, index.row() + 1);
      last = std::max(last, index.row() + 1);
    }
    return {first, last};
  }
  // The run and its fields are those of grid rows first to last.
  void ExpectRun(int firstRow, int lastRow) {
    QCOMPARE(Highlighted(), std::make_pair(firstRow, lastRow));
    QCOMPARE(w->selection().firstSegment(), firstRow - 1);
    QCOMPARE(w->selection().lastSegment(), lastRow - 1);
    QCOMPARE(Find<QLineEdit>(w, "edFrom")->text(), w->SegmentsGridCell(1, firstRow));
    QCOMPARE(Find<QLineEdit>(w, "edTo")->text(), w->SegmentsGridCell(2, lastRow));
    QCOMPARE(Find<QLineEdit>(w, "edPoints")->text(), QString::number(Sum(kPoints, firstRow - 1, lastRow - 1)));
    QCOMPARE(Find<QLineEdit>(w, "edEvents")->text(), QString::number(Sum(kEvents, firstRow - 1, lastRow - 1)));
    QVERIFY(Find<QPushButton>(w, "btnManSave")->isEnabled());
  }

 private slots:
  void init() {
    f = std::make_unique<AppFixture>();
    QDir().mkpath(f->path("data"));
    f->prompts.directories.push_back(f->spath("data"));
    AppEnvironment env = f->Environment();
    env.lookup = &lookup;
    w = f->Start(env);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    QVERIFY(WriteRawFile(f->spath("data/flight.G00"), kRuns));
    f->prompts.files.push_back(f->spath("data/flight.G00"));
    w->mnFileOpenClick();
    QCOMPARE(w->SegmentsGridRowCount(), 7);
    QCOMPARE(Find<QLineEdit>(w, "CompetNo")->text(), QString("12"));
    QCOMPARE(Find<QLineEdit>(w, "PilotNames")->text(), QString("Pilot One"));
  }
  void cleanup() {
    w.reset();
    f.reset();
  }

  void startsWithNothingChosenAndBothSavesDisabled() {
    QVERIFY(w->selection().manualMode());
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->currentIndex(), 0);
    QCOMPARE(w->selection().firstSegment(), -1);
    QCOMPARE(w->selection().lastSegment(), -1);
    QVERIFY(!Find<QPushButton>(w, "btnSave")->isEnabled());
    QVERIFY(!Find<QPushButton>(w, "btnManSave")->isEnabled());
    for (QLineEdit* box : {Find<QLineEdit>(w, "edFrom"), Find<QLineEdit>(w, "edTo"), Find<QLineEdit>(w, "edPoints"), Find<QLineEdit>(w, "edEvents"), Find<QLineEdit>(w, "edManTask"), Find<QLineEdit>(w, "taskPoints"), Find<QLineEdit>(w, "taskEvents")})
      QVERIFY(box->text().isEmpty());
  }

  void dragShiftClickAndShiftArrowsAllChooseTheHighlightedRows() {
    Drag(5, 2);
    ExpectRun(2, 5);
    Drag(2, 5);
    ExpectRun(2, 5);
    Click(3);
    ExpectRun(3, 3);
    Click(6, Qt::ShiftModifier);
    ExpectRun(3, 6);
    Find<QTableView>(w, "SegmentsGrid")->setFocus();
    QTest::keyClick(Find<QTableView>(w, "SegmentsGrid"), Qt::Key_Up, Qt::ShiftModifier);
    ExpectRun(3, 5);
    // A plain arrow moves the highlight to one row, and that row is the run.
    QTest::keyClick(Find<QTableView>(w, "SegmentsGrid"), Qt::Key_Down);
    ExpectRun(6, 6);

    // Save writes exactly the highlighted rows.
    Click(2);
    Click(4, Qt::ShiftModifier);
    Find<QLineEdit>(w, "edManTask")->setText("3");
    Find<QPushButton>(w, "btnManSave")->click();
    QCOMPARE(w->StatusText().toStdString(), std::string("File 12T3V1_Pilot_One.igc saved!"));
    QCOMPARE(CountRecords(f->path("data/12T3V1_Pilot_One.igc")).b, Sum(kPoints, 1, 3));
  }

  void ctrlShiftEndAndHomeExtendTheHighlightToTheLastAndFirstRow() {
    const auto key = [&](Qt::Key k) { QTest::keyClick(Find<QTableView>(w, "SegmentsGrid"), k, Qt::ControlModifier | Qt::ShiftModifier); };
    Click(3);
    key(Qt::Key_End);
    ExpectRun(3, 6);
    key(Qt::Key_Home);  // grows from where the highlight began
    ExpectRun(1, 3);
    Find<QLineEdit>(w, "edManTask")->setText("3");
    Find<QPushButton>(w, "btnManSave")->click();
    QCOMPARE(CountRecords(f->path("data/12T3V1_Pilot_One.igc")).b, Sum(kPoints, 0, 2));
  }

  void tabFollowsEachPagesLayoutAndPassesTheBoxesThatOnlyShow() {
    auto tabbed = [&](const char* start, int keys) {  // where Tab goes from `start`
      QStringList names;
      w->findChild<QWidget*>(start)->setFocus();
      for (int i = 0; i < keys; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names << QApplication::focusWidget()->objectName();
      }
      return names;
    };
    Click(2);  // Save is on, so Tab stops there
    QCOMPARE(tabbed("edManTask", 4), QStringList({"edFrom", "edTo", "btnManSave", "chkManKmlGpx"}));
    w->SetTaskQueries([](const std::string&) { return TaskWindowTexts{"2025/07/21", "10:10:10", "10:30:05"}; });
    w->FillTaskList({"Task", "4"});
    Find<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);
    QCOMPARE(tabbed("WindowTask", 1), QStringList({"btnEditTask"}));
    QCOMPARE(tabbed("PageControl1", 2), QStringList({"btnSave", "chkKmlGpx"}));  // past the boxes that only show
  }

  void aDamagedFileOpensWithAWarningInTheStatusBar() {
    std::ifstream in(std::string(ORVALD_FLIGHTS_DIR) + "/27GLQKF3.igc");
    std::string noise(48 * 1024, '\0'), cut, undated, line;
    for (std::mt19937 random(20261209); char& c : noise) c = static_cast<char>(random());
    int bRecords = 0;
    while (std::getline(in, line)) {
      if (line.rfind("HFDTE", 0) != 0) undated += line + "\n";
      if (line.rfind("B", 0) == 0 && bRecords++ % 10 == 0) line.resize(20);  // every tenth cut short
      cut += line + "\n";
    }
    const std::tuple<const char*, std::string, QString, bool> cases[] = {  // file, text, said, rows shown
        {"noise.G00", noise, "it does not look like a log: ", true},
        {"cut.igc", cut, QString("%1 B records could not be read").arg((bRecords + 9) / 10), true},
        {"undated.igc", undated, "has no date record (HFDTE)", false}};
    for (const auto& [name, text, said, rowsShown] : cases) {
      std::ofstream(f->spath("data/") + name, std::ios::binary) << text;
      f->prompts.files.push_back(f->spath("data/") + name);
      w->mnFileOpenClick();
      w->Timer1Timer();  // a poll that finds no logger leaves the warning there
      QVERIFY2(w->StatusText().contains(said), qPrintable(w->StatusText()));
      QVERIFY2((w->SegmentsGridRowCount() > 2) == rowsShown, name);
    }
  }

  void aClickOnTheHeadingChangesNothing() {
    Click(2);
    QTest::mouseClick(Find<QTableView>(w, "SegmentsGrid")->horizontalHeader(), Qt::LeftButton, {}, HeadingPoint());
    ExpectRun(2, 2);
  }

  void tabSwitchAndBackEmptiesTheRunButKeepsTheFields() {
    Drag(2, 3);
    const QString points = Find<QLineEdit>(w, "edPoints")->text();
    Find<QLineEdit>(w, "edManTask")->setText("3");

    const QString dayTask = Find<QComboBox>(w, "WindowTask")->currentText();
    Find<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);
    QVERIFY(!w->selection().manualMode());
    QVERIFY(!Find<QPushButton>(w, "btnManSave")->isEnabled());
    QCOMPARE(Find<QComboBox>(w, "WindowTask")->currentText(), dayTask);  // one task for both pages
    QCOMPARE(w->selection().firstSegment(), -1);
    QCOMPARE(w->selection().lastSegment(), -1);
    QCOMPARE(Highlighted().first, -1);  // the task page shows the task's rows only

    Find<QTabWidget>(w, "PageControl1")->setCurrentIndex(0);
    QVERIFY(w->selection().manualMode());
    QCOMPARE(w->selection().firstSegment(), -1);
    QVERIFY(!Find<QPushButton>(w, "btnManSave")->isEnabled());
    QVERIFY(!Find<QPushButton>(w, "btnSave")->isEnabled());
    QCOMPARE(Find<QLineEdit>(w, "edPoints")->text(), points);
    QCOMPARE(Find<QLineEdit>(w, "edManTask")->text(), QString("3"));
    QCOMPARE(Highlighted().first, -1);
  }

  void clicksOnTheTaskWindowPageNeitherHighlightNorChoose() {
    Click(2);
    const QString from = Find<QLineEdit>(w, "edFrom")->text();
    Find<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);
    Drag(4, 6);
    Click(3, Qt::ShiftModifier);
    QCOMPARE(Highlighted().first, -1);
    QCOMPARE(w->selection().firstSegment(), -1);
    QCOMPARE(w->selection().lastSegment(), -1);
    QCOMPARE(Find<QLineEdit>(w, "edFrom")->text(), from);
    QVERIFY(!Find<QPushButton>(w, "btnSave")->isEnabled());
  }

  void aNewLogClearsBothRunsAndBothSaves() {
    Drag(2, 4);
    QVERIFY(Find<QPushButton>(w, "btnManSave")->isEnabled());
    f->prompts.files.push_back(f->spath("data/flight.G00"));
    w->mnFileOpenClick();
    QCOMPARE(Highlighted().first, -1);
    QCOMPARE(w->selection().firstSegment(), -1);
    QCOMPARE(w->selection().lastSegment(), -1);
    QVERIFY(!Find<QPushButton>(w, "btnManSave")->isEnabled());
    QVERIFY(!Find<QPushButton>(w, "btnSave")->isEnabled());
    QVERIFY(Find<QLineEdit>(w, "edPoints")->text().isEmpty());
    // File > Open starts in the data folder.
    QCOMPARE(f->prompts.choosers.back().startDirectory, f->spath("data"));
  }

  void saveRefusesWithAReasonInsteadOfSayingNothing() {
    // An empty task number.
    Click(2);
    Find<QPushButton>(w, "btnManSave")->click();
    QCOMPARE(int(f->prompts.boxes.size()), 1);
    QCOMPARE(f->prompts.boxes[0].text, std::string("Type the task number before saving."));

    // A log whose logger the table does not know: no competition number, and
    // the serial and type come from this log, not from the one before.
    QVERIFY(WriteRawFile(f->spath("data/other.G00"), kRuns, "ZZ-OTHER9", "VL  4.2B"));
    f->prompts.files.push_back(f->spath("data/other.G00"));
    w->mnFileOpenClick();
    QCOMPARE(Find<QLineEdit>(w, "CompetNo")->text(), QString());
    QCOMPARE(Find<QLineEdit>(w, "PilotNames")->text(), QString());
    QCOMPARE(Find<QLineEdit>(w, "LoggerSN")->text(), QString("ZZ-OTHER9"));
    QCOMPARE(Find<QLineEdit>(w, "LoggerType")->text(), QString("4.2B"));
    QCOMPARE(w->StatusText(), QString("Serial ZZ-OTHER9 is not in the loggers table"));
    Click(2);
    Find<QLineEdit>(w, "edManTask")->setText("3");
    Find<QPushButton>(w, "btnManSave")->click();
    QVERIFY(f->prompts.boxes.back().text.find("serial ZZ-OTHER9") != std::string::npos);
    QVERIFY(f->prompts.boxes.back().text.find("Edit") != std::string::npos);
    QVERIFY(QDir(f->path("data")).entryList({"*.igc"}).isEmpty());
  }

  void manualSaveWritesTheRunAndSaysSo() {
    Drag(2, 4);
    Find<QLineEdit>(w, "edManTask")->setText("3");
    Find<QPushButton>(w, "btnManSave")->click();

    // Said without a box to click away: the next pilot is waiting.
    QVERIFY(f->prompts.boxes.empty());
    QCOMPARE(w->StatusText(), QString("File 12T3V1_Pilot_One.igc saved!"));
    const RecordCounts counts = CountRecords(f->path("data/12T3V1_Pilot_One.igc"));
    QCOMPARE(counts.b, Find<QLineEdit>(w, "edPoints")->text().toInt());
    // The A record names this log's logger.
    std::ifstream igc(f->path("data/12T3V1_Pilot_One.igc").toStdString());
    std::string aRecord;
    std::getline(igc, aRecord);
    QCOMPARE(aRecord, std::string("AXXXXXX 3.1A,PK-TEST01\r"));
    QCOMPARE(counts.e, Find<QLineEdit>(w, "edEvents")->text().toInt());
    QCOMPARE(counts.b, Sum(kPoints, 1, 3));

    // The same fixes again: asked first, and No writes nothing.
    Find<QPushButton>(w, "btnManSave")->click();
    QCOMPARE(f->prompts.boxes.back().text,
             std::string("Already saved as 12T3V1_Pilot_One.igc. Save again as V2?"));
    QVERIFY(!QFileInfo::exists(f->path("data/12T3V2_Pilot_One.igc")));
    f->prompts.answers.push_back(PromptAnswer::kYes);
    Find<QPushButton>(w, "btnManSave")->click();
    QCOMPARE(w->StatusText().toStdString(), std::string("File 12T3V2_Pilot_One.igc saved!"));
    // Other fixes are saved without a question.
    Drag(2, 3);
    Find<QPushButton>(w, "btnManSave")->click();
    QCOMPARE(w->StatusText().toStdString(), std::string("File 12T3V3_Pilot_One.igc saved!"));
  }

  void aManualRunOutsideItsTasksWindowIsAskedAbout() {
    w->SetTaskQueries([](const std::string& task) {
      if (task == "4") return TaskWindowTexts{"2025/07/21", "10:10:10", "10:30:05"};
      return TaskWindowTexts{};
    });
    Drag(5, 5);  // wholly after task 4's window
    Find<QLineEdit>(w, "edManTask")->setText("4");
    Find<QPushButton>(w, "btnManSave")->click();
    QVERIFY2(f->prompts.boxes.back().text.find("lies outside task 4's window (10:10-10:30 UTC). Save as task 4?") !=
                 std::string::npos,
             f->prompts.boxes.back().text.c_str());
    QVERIFY(QDir(f->path("data")).entryList({"*.igc"}).isEmpty());
    // A run inside the window, or a task the table does not know, is saved at once.
    for (const char* task : {"4", "9"}) {
      Drag(2, 3);
      Find<QLineEdit>(w, "edManTask")->setText(task);
      Find<QPushButton>(w, "btnManSave")->click();
      QVERIFY2(w->StatusText().contains("saved!"), task);
    }
  }

  void kmlAndGpxBesideEitherSaveAreOneRememberedChoice() {
    QVERIFY(!Find<QCheckBox>(w, "chkManKmlGpx")->isChecked() && !Find<QCheckBox>(w, "chkKmlGpx")->isChecked());
    Find<QCheckBox>(w, "chkManKmlGpx")->click();
    QVERIFY(Find<QCheckBox>(w, "chkKmlGpx")->isChecked());
    QCOMPARE(f->Setting("ALSO_KML_GPX").toInt(), 1);
    Click(2);
    Find<QLineEdit>(w, "edManTask")->setText("3");
    Find<QPushButton>(w, "btnManSave")->click();
    QCOMPARE(w->StatusText().toStdString(),
             std::string("File 12T3V1_Pilot_One.igc saved! Also 12T3V1_Pilot_One.kml and 12T3V1_Pilot_One.gpx."));
    for (const char* name : {"data/12T3V1_Pilot_One.kml", "data/12T3V1_Pilot_One.gpx"}) QVERIFY(QFile::exists(f->path(name)));

    f->prompts.directories.push_back(f->spath("data"));
    auto again = f->Start(f->Environment());
    QVERIFY(Find<QCheckBox>(again, "chkManKmlGpx")->isChecked() && Find<QCheckBox>(again, "chkKmlGpx")->isChecked());
    Find<QCheckBox>(again, "chkKmlGpx")->click();
    QVERIFY(!Find<QCheckBox>(again, "chkManKmlGpx")->isChecked());
    QCOMPARE(f->Setting("ALSO_KML_GPX").toInt(), 0);
  }

  void failedSaveShowsAnErrorBoxNeverSaved() {
    Click(1);
    Find<QLineEdit>(w, "edManTask")->setText("7");
    // The data folder disappears under the program: nothing can be created.
    QDir().mkpath(f->path("doomed"));
    QDir::setCurrent(f->path("doomed"));
    QVERIFY(QDir(f->path("doomed")).removeRecursively());
    Find<QPushButton>(w, "btnManSave")->click();

    QCOMPARE(int(f->prompts.boxes.size()), 1);
    const AskedBox& box = f->prompts.boxes[0];
    QCOMPARE(box.caption, std::string("FILE SAVE:"));
    QVERIFY(box.icon == PromptIcon::kError);
    QVERIFY(box.text.find("saved!") == std::string::npos);
    QVERIFY(!box.text.empty());
  }

  void taskWindowSelectsTheOverlappingSegmentsAndSavesWithTheTask() {
    w->SetTaskQueries([](const std::string& task) {
      if (task == "4") return TaskWindowTexts{"2025/07/21", "10:10:10", "10:30:05"};
      return TaskWindowTexts{};
    });
    w->FillTaskList({"Task", "4", "5"});
    Find<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);
    Find<QComboBox>(w, "WindowTask")->setCurrentIndex(0);

    QCOMPARE(Find<QLineEdit>(w, "Date")->text(), QString("2025/07/21"));
    QCOMPARE(Find<QLineEdit>(w, "TimeFrom")->text(), QString("10:10:10"));
    QCOMPARE(Find<QLineEdit>(w, "TimeTo")->text(), QString("10:30:05"));
    QCOMPARE(w->selection().firstSegment(), 1);
    QCOMPARE(w->selection().lastSegment(), 3);
    QCOMPARE(Find<QLineEdit>(w, "taskPoints")->text(), QString::number(Sum(kPoints, 1, 3)));
    QCOMPARE(Find<QLineEdit>(w, "taskEvents")->text(), QString::number(Sum(kEvents, 1, 3)));
    QVERIFY(Find<QPushButton>(w, "btnSave")->isEnabled());
    QCOMPARE(Find<QTableView>(w, "SegmentsGrid")->selectionModel()->selectedRows().size(), 3);

    Find<QPushButton>(w, "btnSave")->click();
    QCOMPARE(w->StatusText().toStdString(), std::string("File 12T4V1_Pilot_One.igc saved!"));
    QCOMPARE(CountRecords(f->path("data/12T4V1_Pilot_One.igc")).b, Sum(kPoints, 1, 3));

    // The next log is shown with the day's task applied at once, and the
    // task is remembered for the next start.
    f->prompts.files.push_back(f->spath("data/flight.G00"));
    w->mnFileOpenClick();
    QCOMPARE(Find<QLineEdit>(w, "taskPoints")->text(), QString::number(Sum(kPoints, 1, 3)));
    QVERIFY(Find<QPushButton>(w, "btnSave")->isEnabled());
    QCOMPARE(w->selection().firstSegment(), 1);
    QCOMPARE(f->Setting("TASK").toString(), QString("4"));
    QCOMPARE(Find<QLineEdit>(w, "edManTask")->text(), QString("4"));  // the manual page cuts for it too

    // A task the table does not know: nothing chosen, Save off, totals empty.
    Find<QComboBox>(w, "WindowTask")->setCurrentIndex(1);
    QVERIFY(Find<QLineEdit>(w, "Date")->text().isEmpty());
    QVERIFY(!Find<QPushButton>(w, "btnSave")->isEnabled());
    QVERIFY(Find<QLineEdit>(w, "taskPoints")->text().isEmpty());
    QCOMPARE(w->selection().firstSegment(), -1);
  }

  void fillTaskListKeepsAKnownTextAndShowsDashesOtherwise() {
    w->FillTaskList({"Task", "1", "2"});
    Find<QComboBox>(w, "WindowTask")->setEditText("2");
    w->FillTaskList({"Task", "2", "3"});
    QCOMPARE(Find<QComboBox>(w, "WindowTask")->currentText(), QString("2"));
    QCOMPARE(Find<QComboBox>(w, "WindowTask")->count(), 2);
    w->FillTaskList({"Task", "3"});
    QCOMPARE(Find<QComboBox>(w, "WindowTask")->currentText(), QString("--"));
  }
};

QTEST_MAIN(SelectionSaveTest)
#include "test_selection_save.moc"
