// orvald-cli plot FILE [--segments FIRST[-LAST] | --task TEXT --tasks TASKS.tsv] --out PICTURE.png
//                      [--size WIDTHxHEIGHT] [--tz-offset SECONDS]
// The window's track picture of a raw (or IGC) file, without a window: the
// ground track and the altitude against UTC time, the chosen segments strong.
// orvald-cli itself has no picture (see CMakeLists.txt): it hands the command
// to orvald-cli-plot beside it.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/igc_task.h"
#include "cli/raw_file.h"
#include "export/task_window.h"
#include "files/file_writer.h"
#include "program/conventions.h"
#include "plot/track_plot.h"
#if ORVALD_PICTURE
#include "picture/track_picture.h"
#endif

namespace orvald::cli {
namespace {

constexpr int kDefaultWidth = 1200;
constexpr int kDefaultHeight = 900;

#if !ORVALD_PICTURE
// Replaces this process with orvald-cli-plot from this program's folder;
// returns only when there is none to run.
void RunPictureProgram(const std::vector<std::string>& args) {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof self) return;
  const std::string program = std::string(self, static_cast<size_t>(length));
  const std::string path = program.substr(0, program.rfind('/') + 1) + "orvald-cli-plot";
  std::vector<std::string> words = {path, "plot"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  execv(path.c_str(), argv.data());
}
#endif

bool ParseSize(const std::string& text, int& width, int& height) {
  const size_t x = text.find('x');
  long w = 0, h = 0;
  if (x == std::string::npos || !ParseInteger(text.substr(0, x), 200, 8000, w) ||
      !ParseInteger(text.substr(x + 1), 150, 8000, h)) {
    return false;
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

}  // namespace

int RunPlot(const std::vector<std::string>& args) {
#if !ORVALD_PICTURE
  RunPictureProgram(args);
#endif
  const ParsedArgs parsed = ParseArgs(args, {"segments", "task", "tasks", "out", "size", "tz-offset"});
  if (!parsed.error.empty()) return UsageError("plot", parsed.error);
  if (parsed.positional.size() != 1) return UsageError("plot", "expects exactly one FILE");
  if (!parsed.has("out")) return UsageError("plot", "--out PICTURE.png is required");
  if (program::RefuseOutputName("orvald-cli plot", parsed.options.at("out"))) return program::kExitRefusedOutput;
  if (parsed.has("segments") && parsed.has("tasks")) return UsageError("plot", "--segments and --tasks exclude each other");
  if (parsed.has("tasks") != parsed.has("task")) return UsageError("plot", "--task and --tasks go together");
  long first = 0, last = 0;
  if (parsed.has("segments") && !ParseSegmentRange(parsed.options.at("segments"), first, last)) {
    return UsageError("plot", "--segments takes a grid row or a range of rows, such as 2 or 1-3");
  }
  int width = kDefaultWidth, height = kDefaultHeight;
  if (parsed.has("size") && !ParseSize(parsed.options.at("size"), width, height)) {
    return UsageError("plot", "--size takes WIDTHxHEIGHT in pixels, such as 1200x900");
  }
  long _timezone = 0;
  std::string error;
  if (!TimezoneOption(parsed, _timezone, error)) return UsageError("plot", error);
#if !ORVALD_PICTURE
  return Failure("plot is not available: no orvald-cli-plot beside orvald-cli (a build without Qt has none)");
#else
  std::string date, timeFrom, timeTo;
  if (parsed.has("tasks") && !ReadTaskWindowOption(parsed, date, timeFrom, timeTo, error)) return Failure(error);

  const std::string& path = parsed.positional[0];
  TrackTable table;
  DecodeResult decoded;
  if (!DecodeRawFileForCommand(path, _timezone, table, decoded, error)) return Failure(error);
  ReportDecodeNotices(path, decoded);

  PictureOptions options;
  if (parsed.has("segments")) {
    if (last > table.segmentCount) {
      return Failure(path + " has " + std::to_string(table.segmentCount) + " segments; row " + std::to_string(last) +
                     " does not exist");
    }
    options.firstSegment = static_cast<int>(first - 1);
    options.lastSegment = static_cast<int>(last - 1);
  } else if (parsed.has("tasks")) {
    const TaskWindowMatch match = MatchTaskWindow(table, date, timeFrom, timeTo);
    options.windowStart = match.windowStart;
    options.windowEnd = match.windowEnd;
    options.firstSegment = match.firstSegment;
    options.lastSegment = match.lastSegment;
    // Drawn all the same: a window that falls in a gap is what the picture is for.
    if (!match.selected()) {
      std::fprintf(stderr, "orvald-cli: no segment of %s lies in the window of task '%s'\n", path.c_str(),
                   parsed.options.at("task").c_str());
    }
  }

  OffscreenGui gui;
  options.caption = QString::fromStdString(PictureCaption(table, options.firstSegment, options.lastSegment));
  const std::string png =
      TrackPicturePng(BuildTrackPlotData(table, _timezone), options, width, height);
  if (png.empty()) return Failure("the picture could not be encoded as PNG");

  const std::string& out = parsed.options.at("out");
  const size_t slash = out.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : out.substr(0, slash);
  const std::string name = slash == std::string::npos ? out : out.substr(slash + 1);
  if (name.empty()) return UsageError("plot", "--out names a folder, not a file");
  FileWriter file;
  if (!file.Begin(directory, ".orvald-plot.part") || !file.Write(png) ||
      !file.CommitNew([&name](int k) { return k == 0 ? name : std::string(); })) {
    if (file.noFreeName()) return Failure(out + " exists; it was kept");
    return Failure(file.errorText());
  }
  std::printf("%s\n", out.c_str());
  return kExitOk;
#endif
}

}  // namespace orvald::cli
