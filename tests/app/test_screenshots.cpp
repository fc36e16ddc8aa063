// Pictures of the main window, the About box and a decoded flight, saved
// under the build directory (screenshots/) for a person to look at, and a
// check that no caption or text box of them is cut short by the layout.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include "app/about_box.h"
#include "app/today_dlg.h"
#include "app/track_view.h"
#include "app_fixture.h"
#include "link/link.h"
#include "logger/logger_lookup.h"
#include "support/sim_process.h"

using namespace orvald;
using namespace orvald::testing;

namespace {

QString ShotPath(const QString& name) {
  const QString dir = QString(ORVALD_BINARY_DIR) + "/screenshots";
  QDir().mkpath(dir);
  return dir + "/" + name;
}

// Pending layout requests first, as the event loop would, then the picture.
bool Shoot(QWidget* widget, const QString& name) {
  QCoreApplication::processEvents();
  return widget->grab().save(ShotPath(name));
}

// Every visible caption and button at least as wide and tall as its text needs.
QStringList ClippedWidgets(QWidget* top) {
  QStringList clipped;
  for (QWidget* widget : top->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(top)) continue;
    if (auto* box = qobject_cast<QLineEdit*>(widget); box && !box->text().isEmpty()) {
      const int need = box->fontMetrics().horizontalAdvance(box->text()) + 8;
      if (box->width() < need) clipped << QString("%1 '%2' %3 < %4").arg(box->objectName(), box->text()).arg(box->width()).arg(need);
      continue;
    }
    const bool captioned = qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
                           qobject_cast<QComboBox*>(widget);
    if (!captioned) continue;
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->text().isEmpty()) continue;
    QSize need = widget->minimumSizeHint();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      // The text shown and every entry must fit beside the arrow.
      int widest = combo->fontMetrics().horizontalAdvance(combo->currentText());
      for (int i = 0; i < combo->count(); ++i)
        widest = std::max(widest, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
      need = QSize(widest + 30, combo->fontMetrics().height() + 4);
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      // Styles ask buttons for a generous minimum; the text is what must fit.
      if (button->text().isEmpty()) continue;
      need = QSize(button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')) + 8,
                   button->fontMetrics().height() + 4);
    }
    if (widget->width() < need.width() || widget->height() < need.height()) {
      clipped << QString("%1 '%2' %3x%4 < %5x%6")
                     .arg(widget->objectName(), widget->property("text").toString())
                     .arg(widget->width())
                     .arg(widget->height())
                     .arg(need.width())
                     .arg(need.height());
    }
  }
  return clipped;
}

// The widest text of a grid column must fit the column.
QStringList ClippedColumns(QTableView* grid) {
  QStringList clipped;
  const QFontMetrics metrics(grid->font());
  for (int c = 0; c < grid->model()->columnCount(); ++c) {
    int widest = 0;
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
      widest = std::max(widest, metrics.horizontalAdvance(grid->model()->index(r, c).data().toString()));
    }
    if (widest + 6 > grid->columnWidth(c)) clipped << QString("column %1: %2 px text in %3").arg(c).arg(widest).arg(grid->columnWidth(c));
  }
  if (metrics.height() > grid->verticalHeader()->defaultSectionSize()) clipped << "rows lower than the text";
  return clipped;
}

class Named : public LoggerLookup {
 public:
  LoggerMatch FindLogger(const std::string&) override { return {true, "27", "Anna Example"}; }
};

}  // namespace

class ScreenshotsTest : public QObject {
  Q_OBJECT

 private slots:
  void mainWindowAtStart() {
    AppFixture f;
    auto w = f.Start();
    w->resize(1000, 720);  // the layout as designed, whatever the test screen
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(Shoot(w.get(), "main-window.png"));
    const QStringList clipped = ClippedWidgets(w.get());
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
    Find<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);
    Find<QLineEdit>(w, "Date")->setText("2007/04/10");
    Find<QLineEdit>(w, "TimeFrom")->setText("10:30:00");
    Find<QLineEdit>(w, "TimeTo")->setText("18:45:00");
    Find<QLineEdit>(w, "taskPoints")->setText("116448");
    QVERIFY(Shoot(w.get(), "main-window-task-page.png"));
    const QStringList clippedTask = ClippedWidgets(w.get());
    QVERIFY2(clippedTask.isEmpty(), qPrintable(clippedTask.join("; ")));
  }

  void aboutBox() {
    TAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(Shoot(&box, "about-box.png"));
    const QStringList clipped = ClippedWidgets(&box);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
  }

  void decodedFlight() {
    AppFixture f;
    Named named;
    QDir().mkpath(f.path("data"));
    f.prompts.directories.push_back(f.spath("data"));
    AppEnvironment env = f.Environment();
    env.lookup = &named;
    auto w = f.Start(env);
    w->resize(1000, 720);  // the layout as designed, whatever the test screen
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(WriteRawFile(f.spath("data/PK-TEST01-20260314-100000.G00"),
                         {{9, 0, 300, {5}}, {9, 20, 1200, {}}, {10, 5, 40, {1, 2}}, {11, 0, 2000, {}}}));
    f.prompts.files.push_back(f.spath("data/PK-TEST01-20260314-100000.G00"));
    w->mnFileOpenClick();
    QTest::mousePress(Find<QTableView>(w, "SegmentsGrid")->viewport(), Qt::LeftButton, {},
                      Find<QTableView>(w, "SegmentsGrid")->visualRect(Find<QTableView>(w, "SegmentsGrid")->model()->index(1, 1)).center());
    QTest::mouseRelease(Find<QTableView>(w, "SegmentsGrid")->viewport(), Qt::LeftButton, {},
                        Find<QTableView>(w, "SegmentsGrid")->visualRect(Find<QTableView>(w, "SegmentsGrid")->model()->index(2, 1)).center());
    Find<QLineEdit>(w, "edManTask")->setText("3");
    QVERIFY(Shoot(w.get(), "decoded-flight.png"));
    const QStringList clipped = ClippedWidgets(w.get()) + ClippedColumns(Find<QTableView>(w, "SegmentsGrid"));
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
  }

  // A real flight opened as an IGC file, cut to a task's window: the picture
  // shows the task strong, the rest faint, and names the fix under the pointer.
  void realFlightInATaskWindow() {
    const std::string flight = std::string(ORVALD_FLIGHTS_DIR) + "/27GLQKF3.igc";
    if (!QFile::exists(QString::fromStdString(flight))) QSKIP("no public flight beside the repository");
    AppFixture f;
    Named named;
    QDir().mkpath(f.path("data"));
    f.prompts.directories.push_back(f.spath("data"));
    AppEnvironment env = f.Environment();
    env.lookup = &named;
    auto w = f.Start(env);
    w->resize(1000, 720);  // the layout as designed, whatever the test screen
    w->SetTaskQueries([](const std::string& task) {
      return task == "3" ? TaskWindowTexts{"2022/07/16", "20:05:00", "20:45:00"} : TaskWindowTexts{};
    });
    w->FillTaskList({"Task #", "3"});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    f.prompts.files.push_back(flight);
    w->mnFileOpenClick();
    QVERIFY(w->trackTable().segmentCount > 3);
    Find<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);
    Find<QComboBox>(w, "WindowTask")->setEditText("3");
    QVERIFY(w->selection().firstSegment() > 0 && w->selection().lastSegment() > w->selection().firstSegment());
    QVERIFY(w->selection().lastSegment() < w->trackTable().segmentCount - 1);  // the glide home stays faint

    TrackView* picture = Find<TrackView>(w, "TrackPicture");
    QCoreApplication::processEvents();
    const int middle = (w->trackTable().segments()[w->selection().firstSegment()].firstPoint +
                        w->trackTable().segments()[w->selection().lastSegment()].lastPoint) / 2;
    const PlotPoint at = picture->layout().GroundPixel(picture->data(), middle);
    QTest::mouseMove(picture, QPoint(qRound(at.x), qRound(at.y)));
    QTRY_VERIFY(picture->hoverPoint() >= 0);
    QVERIFY2(picture->hoverText().contains(" UTC ") && picture->hoverText().contains(" m "),
             qPrintable(picture->hoverText()));
    QVERIFY(Shoot(w.get(), "real-flight-task-window.png"));
    const QStringList clipped = ClippedWidgets(w.get()) + ClippedColumns(Find<QTableView>(w, "SegmentsGrid"));
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
  }

  // The Today view over a data folder, and again when a file appears there.
  void todayView() {
    AppFixture f;
    const QString data = f.path("data");
    QDir().mkpath(data);
    auto write = [&](const QString& name, const std::string& bytes) {
      std::ofstream(QDir(data).filePath(name).toStdString(), std::ios::binary) << bytes;
    };
    write("loggers.tsv", "QA712\t12\tAnna Example\r\nQB100\t7\tBo Berg\r\nQC5\t101\tCy Cole\r\nQD9\t9\tDi Dent\r\n");
    write("tasks.tsv", "1\t2026/03/12\t10:00:00\t16:00:00\r\n3\t2026/03/14\t10:30:00\t16:00:00\r\n");
    write("QA712-20260314-101500.G00", "");
    write("QB100-20260314-094000-incomplete.G00", "");
    write("QD9-20260314-111000.G00", "");
    write("QD9-20260314-111000-2.G00", "");
    write("PK-0427-20260314-120500.G00", "");
    write("12T3V2_Anna_Example.igc", "B1\r\nB2\r\nB3\r\n");
    f.prompts.directories.push_back(data.toStdString());
    f.SetSetting("APPLICATIONS/ORVALD/TASK", "3");
    auto w = f.Start();
    w->resize(1000, 720);  // the layout as designed, whatever the test screen
    Find<QAction>(w, "mnViewToday")->trigger();
    auto* today = w->findChild<TTodayDlg*>("TodayDlg");
    QVERIFY(today);
    QVERIFY(QTest::qWaitForWindowExposed(today));
    QCOMPARE(today->lblTask->text(), QString("Task 3"));
    QCOMPARE(today->lblSummary->text(),
             QString("1 of 4 saved for task 3, 0 to check, 3 missing, 1 downloaded logger not in loggers.tsv"));
    QCOMPARE(today->TodayGrid->rowCount(), 5);
    QCOMPARE(today->TodayGrid->item(0, 0)->text(), QString("7"));
    // Competition numbers sort as numbers, not as text ("101" before "12").
    today->TodayGrid->sortItems(1);
    today->TodayGrid->sortItems(0);
    QStringList numbers;
    for (int r = 0; r < 4; ++r) numbers << today->TodayGrid->item(r, 0)->text();
    QCOMPARE(numbers, QStringList({"7", "9", "12", "101"}));
    today->chkMissingOnly->setChecked(true);
    QVERIFY(today->TodayGrid->isRowHidden(2));  // Anna's, saved
    QVERIFY(!today->TodayGrid->isRowHidden(0));
    today->chkMissingOnly->setChecked(false);
    QVERIFY(Shoot(today, "today.png"));
    const QStringList clipped = ClippedWidgets(today);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));

    write("9T3V1_Di_Dent.igc", "B1\r\n");
    QTRY_COMPARE(today->lblSummary->text(),
                 QString("2 of 4 saved for task 3, 0 to check, 2 missing, 1 downloaded logger not in loggers.tsv"));
    today->SetTask("");
    QCOMPARE(today->lblTask->text(), QString("No task chosen"));
    QCOMPARE(today->lblSummary->text(), QString("3 of 4 downloaded, 1 downloaded logger not in loggers.tsv"));
  }

  // A real flight through the simulator: the window while the download runs,
  // and when it is done.
  void downloadInProgressAndFinished() {
    const std::string flight = std::string(ORVALD_FLIGHTS_DIR) + "/92HV66G1.igc";
    if (!QFile::exists(QString::fromStdString(flight))) QSKIP("no public flight beside the repository");
    test::SimProcess sim({"--igc", flight, "--serial", "PK-0427", "--records-per-block", "1000"});
    QVERIFY2(sim.started(), sim.error().c_str());
    AppFixture f;
    Named named;
    f.SetSetting("APPLICATIONS/ORVALD/COM_PORT", 1);
    f.SetSetting("APPLICATIONS/ORVALD/DATA_DIR", f.path("data"));
    f.SetSetting("Ports/COM1", QString::fromStdString(sim.ptyPath()));
    QDir().mkpath(f.path("data"));
    Link link(nullptr);
    AppEnvironment env = f.Environment();
    env.link = &link;
    env.lookup = &named;
    auto w = f.Start(env);
    w->resize(1000, 720);  // the layout as designed, whatever the test screen
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    QStringList clippedDuring;
    bool shot = false;
    QObject::connect(Find<QProgressBar>(w, "ProgressBar1"), &QProgressBar::valueChanged, [&](int value) {
      if (shot || value < 150) return;
      shot = true;
      Shoot(w.get(), "download-in-progress.png");
      clippedDuring = ClippedWidgets(w.get());
    });
    w->Timer1Timer();
    QVERIFY2(shot, qPrintable(w->StatusText() + " / " + Find<QLabel>(w, "lblDLFile")->text() + " / " + QString::number(Find<QProgressBar>(w, "ProgressBar1")->maximum())));
    QVERIFY2(clippedDuring.isEmpty(), qPrintable(clippedDuring.join("; ")));
    QVERIFY(w->trackTable().segmentCount >= 1);
    QCOMPARE(w->SegmentsGridRowCount(), w->trackTable().segmentCount + 1);
    QCOMPARE(w->SegmentsGridCell(5, 1).toInt(), w->trackTable().segments()[0].points);
    QVERIFY(Shoot(w.get(), "download-finished.png"));
    const QStringList clipped = ClippedWidgets(w.get()) + ClippedColumns(Find<QTableView>(w, "SegmentsGrid"));
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
  }
};

QTEST_MAIN(ScreenshotsTest)
#include "test_screenshots.moc"
