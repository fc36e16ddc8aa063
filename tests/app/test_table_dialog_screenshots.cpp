// Pictures of the two table dialogs with typical rows and the cell editor
// open, saved under the build directory (screenshots/) for a person to look
// at, and a check that the headings, cells, editor and buttons are not cut.
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <fstream>

#include "app/table_dialogs.h"
#include "app/table_grid_view.h"
#include "app/table_queries.h"
#include "app_fixture.h"
#include "tables/loggers_table.h"
#include "tables/tasks_table.h"

using namespace orvald;
using namespace orvald::testing;

namespace {

QString ShotPath(const QString& name) {
  const QString dir = QString(ORVALD_BINARY_DIR) + "/screenshots";
  QDir().mkpath(dir);
  return dir + "/" + name;
}

// What does not fit: a heading or cell text wider than its column, a row
// lower than its type, columns hidden behind a scroll bar, a button whose
// caption is cut or that lies outside the dialog.
QStringList Clipped(QDialog* dialog, TableGridView* grid) {
  QStringList clipped;
  const int padding = 6;
  QAbstractItemModel* model = grid->model();
  for (int column = 0; column < model->columnCount(); ++column) {
    const QString heading = model->headerData(column, Qt::Horizontal).toString();
    const int headingNeed = grid->horizontalHeader()->fontMetrics().horizontalAdvance(heading) + padding;
    if (grid->columnWidth(column) < headingNeed)
      clipped << QString("heading '%1' %2 < %3").arg(heading).arg(grid->columnWidth(column)).arg(headingNeed);
    for (int row = 0; row < model->rowCount(); ++row) {
      const QString text = model->index(row, column).data().toString();
      const int need = grid->fontMetrics().horizontalAdvance(text) + padding;
      if (grid->columnWidth(column) < need)
        clipped << QString("cell '%1' %2 < %3").arg(text).arg(grid->columnWidth(column)).arg(need);
    }
  }
  if (grid->rowHeight(0) < grid->fontMetrics().height())
    clipped << QString("row height %1 < type %2").arg(grid->rowHeight(0)).arg(grid->fontMetrics().height());
  int columnsWidth = 0;
  for (int column = 0; column < model->columnCount(); ++column) columnsWidth += grid->columnWidth(column);
  if (grid->viewport()->width() < columnsWidth)
    clipped << QString("grid viewport %1 < columns %2").arg(grid->viewport()->width()).arg(columnsWidth);
  if (grid->horizontalScrollBar()->isVisible()) clipped << "horizontal scroll bar shown";
  if (QLineEdit* editor = grid->CellEditor()) {
    const int need = editor->fontMetrics().horizontalAdvance(editor->displayText()) + 4;
    if (editor->width() < need || editor->height() < editor->fontMetrics().height())
      clipped << QString("editor '%1' %2x%3").arg(editor->displayText()).arg(editor->width()).arg(editor->height());
  }
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
    const QString caption = QString(button->text()).remove('&');
    const int need = button->fontMetrics().horizontalAdvance(caption) + 8;
    if (button->width() < need || button->height() < button->fontMetrics().height() + 4)
      clipped << QString("button '%1' %2x%3").arg(caption).arg(button->width()).arg(button->height());
    if (!dialog->rect().contains(button->geometry())) clipped << QString("button '%1' outside").arg(caption);
  }
  return clipped;
}

}  // namespace

class TableDialogScreenshotsTest : public QObject {
  Q_OBJECT

 private slots:
  void bothDialogsShowEveryColumnAndButtonUncut() {
    AppFixture f;
    LoggersTable loggers;
    TasksTable tasks;
    LoggersTableLookup lookup(loggers);
    QDir().mkpath(f.path("data"));
    std::ofstream(f.spath("data/loggers.tsv"), std::ios::binary)
        << "QA712\t007\tCrew One\r\nPK-TEST01\t012\tPilot One and Pilot Two\r\n";
    std::ofstream(f.spath("data/tasks.tsv"), std::ios::binary)
        << "03\t2007/04/10\t10:30:00\t16:00:00\r\n04\t2007/04/11\t09:00:00\t15:30:00\r\n";
    f.prompts.directories.push_back(f.spath("data"));
    AppEnvironment env = f.Environment();
    env.lookup = &lookup;
    auto w = f.Start(env);
    const TableDialogs d = CreateTableDialogs(*w, loggers, tasks, f.prompts);
    QVERIFY(f.prompts.boxes.empty());
    w->show();

    Find<QPushButton>(w, "btnEdit")->click();
    Find<QPushButton>(w, "btnEditTask")->click();
    QVERIFY(QTest::qWaitForWindowExposed(d.SerialNumbersDlg));
    QVERIFY(QTest::qWaitForWindowExposed(d.TaskWindowsDlg));
    // The editor on a masked cell, as the operator sees it mid-edit.
    QTest::keyClick(Find<TableGridView>(d.TaskWindowsDlg, "TaskWindowsGrid")->CellEditor(), Qt::Key_Tab);
    QCoreApplication::processEvents();

    QVERIFY(d.SerialNumbersDlg->grab().save(ShotPath("serial_numbers_dlg.png")));
    QVERIFY(d.TaskWindowsDlg->grab().save(ShotPath("task_windows_dlg.png")));
    const QStringList snClipped = Clipped(d.SerialNumbersDlg, Find<TableGridView>(d.SerialNumbersDlg, "SerialNumGrid"));
    QVERIFY2(snClipped.isEmpty(), qPrintable(snClipped.join("; ")));
    const QStringList twClipped = Clipped(d.TaskWindowsDlg, Find<TableGridView>(d.TaskWindowsDlg, "TaskWindowsGrid"));
    QVERIFY2(twClipped.isEmpty(), qPrintable(twClipped.join("; ")));
  }
};

QTEST_MAIN(TableDialogScreenshotsTest)
#include "test_table_dialog_screenshots.moc"
