// Arbitrary bytes as loggers.tsv and as tasks.tsv: loading never fails on
// content, the lookups work on whatever was loaded, and the loaded grid
// survives the save format unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tables/loggers_table.h"
#include "tables/tasks_table.h"
#include "tables/tsv_format.h"
#include "fuzz/require.h"

namespace {

// One scratch file per fuzzing process, rewritten for every input; in
// memory when the machine offers it, since a disk-backed file is 20 times slower.
const std::string& ScratchPath() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    if (access("/dev/shm", W_OK) == 0) folder = "/dev/shm";
    std::string pattern = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/orvald-fuzz-XXXXXX";
    const int fd = mkstemp(pattern.data());
    Require(fd >= 0);
    close(fd);
    std::atexit([] { unlink(ScratchPath().c_str()); });
    return pattern;
  }();
  return path;
}

void WriteScratch(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
  Require(file != nullptr);
  Require(std::fwrite(data, 1, size, file) == size);
  Require(std::fclose(file) == 0);
}

// The lines FormatTsv writes, read back the way loading reads them, give the
// same cells: nothing a file can hold is changed by one load and save.
void RequireSaveFormatKeepsCells(const orvald::TextGrid& grid) {
  const std::string bytes = orvald::FormatTsv(grid);
  const auto lines = orvald::SplitTsvLines(bytes);
  Require(static_cast<int>(lines.size()) == grid.rowCount() - 1);
  for (int row = 1; row < grid.rowCount(); ++row) {
    const auto cells = orvald::SplitTsvFields(lines[row - 1], grid.columnCount());
    Require(static_cast<int>(cells.size()) == grid.columnCount());
    for (int column = 0; column < grid.columnCount(); ++column) Require(cells[column] == grid.Cell(column, row));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteScratch(data, size);
  const std::string text(reinterpret_cast<const char*>(data), size);

  orvald::LoggersTable loggers(ScratchPath());
  Require(loggers.Load().ok());
  Require(loggers.grid().rowCount() >= 2);
  RequireSaveFormatKeepsCells(loggers.grid());
  const orvald::LoggerTableMatch match = loggers.FindLogger(text);
  if (match.found) {
    Require(match.row >= 1 && match.row < loggers.grid().rowCount());
    Require(!loggers.RowIsBlank(match.row));
  }

  orvald::TasksTable tasks(ScratchPath());
  Require(tasks.Load().ok());
  Require(tasks.grid().rowCount() >= 2);
  RequireSaveFormatKeepsCells(tasks.grid());
  const auto numbers = tasks.TaskNumberColumn();
  Require(static_cast<int>(numbers.size()) == tasks.grid().rowCount());
  // The first data row is always the first row with its own task number.
  Require(tasks.TaskDate(numbers[1]) == tasks.grid().Cell(orvald::kTaskDateColumn, 1));
  Require(tasks.TaskStart(numbers[1]) == tasks.grid().Cell(orvald::kTaskStartColumn, 1));
  Require(tasks.TaskFinish(numbers[1]) == tasks.grid().Cell(orvald::kTaskFinishColumn, 1));
  (void)tasks.LastRowRemovable();
  return 0;
}
