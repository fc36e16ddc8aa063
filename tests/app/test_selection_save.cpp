// Choosing a run of segments with the mouse or a task window, the fields
// and totals that follow, the tab rules, and Save with its message boxes.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <fstream>
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

  QWidget* viewport() { return w->SegmentsGrid->viewport(); }
  QPoint RowPoint(int gridRow) {
    return w->SegmentsGrid->visualRect(w->SegmentsGrid->model()->index(gridRow - 1, 1)).center();
  }
  void Press(int gridRow) { QTest::mousePress(viewport(), Qt::LeftButton, {}, RowPoint(gridRow)); }
  void Release(int gridRow) { QTest::mouseRelease(viewport(), Qt::LeftButton, {}, RowPoint(gridRow)); }
  void Click(int gridRow) {
    Press(gridRow);
    Release(gridRow);
  }
  QPoint HeadingPoint() {
    QHeaderView* header = w->SegmentsGrid->horizontalHeader();
    return QPoint(header->sectionViewportPosition(1) + 20, header->height() / 2);
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
    QCOMPARE(w->CompetNo->text(), QString("12"));
    QCOMPARE(w->PilotNames->text(), QString("Pilot One"));
  }
  void cleanup() {
    w.reset();
    f.reset();
  }

  void startsWithNothingChosenAndBothSavesDisabled() {
    QCOMPARE(w->manualMode, 1);
    QCOMPARE(w->PageControl1->currentIndex(), 0);
    QCOMPARE(w->firstSegment, -1);
    QCOMPARE(w->lastSegment, -1);
    QVERIFY(!w->btnSave->isEnabled());
    QVERIFY(!w->btnManSave->isEnabled());
    for (QLineEdit* box : {w->edFrom, w->edTo, w->edPoints, w->edEvents, w->edManTask, w->taskPoints, w->taskEvents})
      QVERIFY(box->text().isEmpty());
  }

  void upwardDragChoosesTheSameRunAsDownward() {
    Press(5);
    Release(2);
    QCOMPARE(w->firstSegment, 1);
    QCOMPARE(w->lastSegment, 4);
    QCOMPARE(w->edFrom->text(), w->SegmentsGridCell(1, 2));
    QCOMPARE(w->edTo->text(), w->SegmentsGridCell(2, 5));
    QCOMPARE(w->edPoints->text(), QString::number(Sum(kPoints, 1, 4)));
    QCOMPARE(w->edEvents->text(), QString::number(Sum(kEvents, 1, 4)));
    QVERIFY(w->btnManSave->isEnabled());

    Press(2);
    Release(5);
    QCOMPARE(w->firstSegment, 1);
    QCOMPARE(w->lastSegment, 4);
  }

  void totalsEqualTheGridColumns() {
    Press(1);
    Release(6);
    int points = 0;
    int events = 0;
    for (int row = 1; row <= 6; ++row) {
      points += w->SegmentsGridCell(5, row).toInt();
      events += w->SegmentsGridCell(6, row).toInt();  // empty reads as 0
    }
    QCOMPARE(w->edPoints->text().toInt(), points);
    QCOMPARE(w->edEvents->text().toInt(), events);
  }

  void singleClickChoosesOneSegment() {
    Click(3);
    QCOMPARE(w->firstSegment, 2);
    QCOMPARE(w->lastSegment, 2);
    QCOMPARE(w->edPoints->text(), QString::number(kPoints[2]));
    QCOMPARE(w->edEvents->text(), QString::number(kEvents[2]));
    QCOMPARE(w->edFrom->text(), w->SegmentsGridCell(1, 3));
    QCOMPARE(w->edTo->text(), w->SegmentsGridCell(2, 3));
  }

  void headingRowChangesNothingNotEvenTheAnchor() {
    Click(2);
    Press(4);
    QTest::mouseRelease(w->SegmentsGrid->horizontalHeader(), Qt::LeftButton, {}, HeadingPoint());
    QCOMPARE(w->firstSegment, 3);  // the new anchor stands...
    QCOMPARE(w->lastSegment, 1);   // ...and the last run is untouched
    QCOMPARE(w->edPoints->text(), QString::number(kPoints[1]));

    // A press on the heading keeps the anchor, so this release completes 3..5.
    QTest::mousePress(w->SegmentsGrid->horizontalHeader(), Qt::LeftButton, {}, HeadingPoint());
    QCOMPARE(w->firstSegment, 3);
    Release(6);
    QCOMPARE(w->firstSegment, 3);
    QCOMPARE(w->lastSegment, 5);
  }

  void tabSwitchAndBackEmptiesTheRunButKeepsTheFields() {
    Press(2);
    Release(3);
    const QString points = w->edPoints->text();
    w->edManTask->setText("3");

    w->PageControl1->setCurrentIndex(1);
    QCOMPARE(w->manualMode, 0);
    QVERIFY(!w->btnManSave->isEnabled());
    QCOMPARE(w->WindowTask->currentText(), QString("--"));
    QCOMPARE(w->firstSegment, -1);
    QCOMPARE(w->lastSegment, -1);

    w->PageControl1->setCurrentIndex(0);
    QCOMPARE(w->manualMode, 1);
    QCOMPARE(w->firstSegment, -1);
    QVERIFY(!w->btnManSave->isEnabled());
    QVERIFY(!w->btnSave->isEnabled());
    QCOMPARE(w->edPoints->text(), points);
    QCOMPARE(w->edManTask->text(), QString("3"));
    QVERIFY(w->SegmentsGrid->selectionModel()->selectedIndexes().isEmpty());

    // Keyboard movement enables Save but chooses nothing: Save writes nothing.
    w->SegmentsGrid->setFocus();
    QTest::keyClick(w->SegmentsGrid, Qt::Key_Down);
    QVERIFY(w->btnManSave->isEnabled());
    QCOMPARE(w->firstSegment, -1);
    w->btnManSave->click();
    QVERIFY(f->prompts.boxes.empty());
    QVERIFY(QDir(f->path("data")).entryList({"*.igc"}).isEmpty());
  }

  void releaseWithoutAnAnchorChoosesNothing() {
    w->PageControl1->setCurrentIndex(1);
    w->PageControl1->setCurrentIndex(0);
    Release(3);
    QCOMPARE(w->firstSegment, -1);
    QCOMPARE(w->lastSegment, -1);
    QVERIFY(w->edPoints->text().isEmpty());
  }

  void clicksWhileTheTaskWindowTabIsShownAreIgnored() {
    Press(2);
    Release(2);
    const QString from = w->edFrom->text();
    w->PageControl1->setCurrentIndex(1);
    Press(4);
    Release(6);
    QCOMPARE(w->firstSegment, -1);
    QCOMPARE(w->lastSegment, -1);
    QCOMPARE(w->edFrom->text(), from);
    QCOMPARE(w->edPoints->text(), QString::number(kPoints[1]));
  }

  void manualSaveWritesTheRunAndSaysSo() {
    Press(2);
    Release(4);
    w->edManTask->setText("3");
    w->btnManSave->click();

    QCOMPARE(int(f->prompts.boxes.size()), 1);
    const AskedBox& box = f->prompts.boxes[0];
    QCOMPARE(box.caption, std::string("FILE SAVE:"));
    QCOMPARE(box.text, std::string("File 12T3V1_Pilot_One.igc saved!"));
    QVERIFY(box.buttons == PromptButtons::Ok);
    QVERIFY(box.icon == PromptIcon::None);
    const RecordCounts counts = CountRecords(f->path("data/12T3V1_Pilot_One.igc"));
    QCOMPARE(counts.b, w->edPoints->text().toInt());
    QCOMPARE(counts.e, w->edEvents->text().toInt());
    QCOMPARE(counts.b, Sum(kPoints, 1, 3));

    w->btnManSave->click();
    QCOMPARE(f->prompts.boxes.back().text, std::string("File 12T3V2_Pilot_One.igc saved!"));
  }

  void kmlAndGpxBesideEitherSaveAreOneRememberedChoice() {
    QVERIFY(!w->chkManKmlGpx->isChecked() && !w->chkKmlGpx->isChecked());
    w->chkManKmlGpx->click();
    QVERIFY(w->chkKmlGpx->isChecked());
    QCOMPARE(f->Setting("ALSO_KML_GPX").toInt(), 1);
    Click(2);
    w->edManTask->setText("3");
    w->btnManSave->click();
    QCOMPARE(f->prompts.boxes.back().text,
             std::string("File 12T3V1_Pilot_One.igc saved! Also 12T3V1_Pilot_One.kml and 12T3V1_Pilot_One.gpx."));
    for (const char* name : {"data/12T3V1_Pilot_One.kml", "data/12T3V1_Pilot_One.gpx"}) QVERIFY(QFile::exists(f->path(name)));

    f->prompts.directories.push_back(f->spath("data"));
    auto again = f->Start(f->Environment());
    QVERIFY(again->chkManKmlGpx->isChecked() && again->chkKmlGpx->isChecked());
    again->chkKmlGpx->click();
    QVERIFY(!again->chkManKmlGpx->isChecked());
    QCOMPARE(f->Setting("ALSO_KML_GPX").toInt(), 0);
  }

  void failedSaveShowsAnErrorBoxNeverSaved() {
    Click(1);
    w->edManTask->setText("7");
    // The data folder disappears under the program: nothing can be created.
    QDir().mkpath(f->path("doomed"));
    QDir::setCurrent(f->path("doomed"));
    QVERIFY(QDir(f->path("doomed")).removeRecursively());
    w->btnManSave->click();

    QCOMPARE(int(f->prompts.boxes.size()), 1);
    const AskedBox& box = f->prompts.boxes[0];
    QCOMPARE(box.caption, std::string("FILE SAVE:"));
    QVERIFY(box.icon == PromptIcon::Error);
    QVERIFY(box.text.find("saved!") == std::string::npos);
    QVERIFY(!box.text.empty());
  }

  void taskWindowSelectsTheOverlappingSegmentsAndSavesWithTheTask() {
    w->SetTaskQueries([](const std::string& task) {
      if (task == "4") return TaskWindowTexts{"2025/07/21", "10:10:10", "10:30:05"};
      return TaskWindowTexts{};
    });
    w->FillTaskList({"Task", "4", "5"});
    w->PageControl1->setCurrentIndex(1);
    w->WindowTask->setCurrentIndex(0);

    QCOMPARE(w->Date->text(), QString("2025/07/21"));
    QCOMPARE(w->TimeFrom->text(), QString("10:10:10"));
    QCOMPARE(w->TimeTo->text(), QString("10:30:05"));
    QCOMPARE(w->firstSegment, 1);
    QCOMPARE(w->lastSegment, 3);
    QCOMPARE(w->taskPoints->text(), QString::number(Sum(kPoints, 1, 3)));
    QCOMPARE(w->taskEvents->text(), QString::number(Sum(kEvents, 1, 3)));
    QVERIFY(w->btnSave->isEnabled());
    QCOMPARE(w->SegmentsGrid->selectionModel()->selectedRows().size(), 3);

    w->btnSave->click();
    QCOMPARE(f->prompts.boxes.back().text, std::string("File 12T4V1_Pilot_One.igc saved!"));
    QCOMPARE(CountRecords(f->path("data/12T4V1_Pilot_One.igc")).b, Sum(kPoints, 1, 3));

    // A task the table does not know: nothing chosen, Save off, totals empty.
    w->WindowTask->setCurrentIndex(1);
    QVERIFY(w->Date->text().isEmpty());
    QVERIFY(!w->btnSave->isEnabled());
    QVERIFY(w->taskPoints->text().isEmpty());
    QCOMPARE(w->firstSegment, -1);
  }

  void fillTaskListKeepsAKnownTextAndShowsDashesOtherwise() {
    w->FillTaskList({"Task", "1", "2"});
    w->WindowTask->setEditText("2");
    w->FillTaskList({"Task", "2", "3"});
    QCOMPARE(w->WindowTask->currentText(), QString("2"));
    QCOMPARE(w->WindowTask->count(), 2);
    w->FillTaskList({"Task", "3"});
    QCOMPARE(w->WindowTask->currentText(), QString("--"));
  }
};

QTEST_MAIN(SelectionSaveTest)
#include "test_selection_save.moc"
