// orvald-cli status [--dir DIR] [--task TEXT]
// The day at a glance, as the window's Today view shows it: a summary line,
// then one tab-separated line per logger of loggers.tsv (by competition
// number) and per downloaded logger that the table does not name.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "tables/day_status.h"

namespace orvald::cli {
namespace {

void PrintCells(const std::string* cells, int count) {
  std::string line;
  for (int i = 0; i < count; ++i) {
    if (i > 0) line += '\t';
    line += cells[i];
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int RunStatus(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"dir", "task"});
  if (!parsed.error.empty()) return UsageError("status", parsed.error);
  if (!parsed.positional.empty()) return UsageError("status", "takes no FILE");
  const std::string directory = parsed.has("dir") ? parsed.options.at("dir") : ".";
  const std::string task = parsed.has("task") ? parsed.options.at("task") : "";

  IgcPointCounter counter;
  const DayStatus status = ReadDayStatus(directory, task, counter);
  std::printf("%s\n", DaySummaryText(status).c_str());
  std::string headings[kDayColumns];
  for (int i = 0; i < kDayColumns; ++i) headings[i] = kDayHeadings[i];
  PrintCells(headings, kDayColumns);
  for (const DayRow& row : status.rows) {
    const auto cells = DayRowCells(status, row);
    PrintCells(cells.data(), kDayColumns);
  }
  // What is there is listed either way; what could not be read fails the command.
  if (!status.problem.empty()) return Failure(status.problem);
  return kExitOk;
}

}  // namespace orvald::cli
