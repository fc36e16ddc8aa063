#include "journal/rederive.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "export/igc_text.h"
#include "files/file_reader.h"
#include "files/path_in.h"
#include "journal/journal_file.h"
#include "tracklog/log_file.h"
#include "tracklog/time_basis.h"

namespace orvald {

namespace {

constexpr size_t kLargestTaskFile = 64u << 20;
constexpr char kTaskRecord[] = "LCMAOTSKTASKNUMBER:";

std::vector<std::string> Records(const std::string& text) {
  std::vector<std::string> records;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    records.push_back(line);
    at = end + 1;
  }
  return records;
}

// The records that say when the file was written, not what it holds.
bool IsTransferTime(const std::string& record) {
  return record.rfind("LCMASTSDDATATRANSFERDATE:", 0) == 0 || record.rfind("LCMASTSTDATATRANSFERTIME:", 0) == 0;
}

// The records that count, each with its line number in the file.
struct Counted {
  std::string record;
  size_t lineNumber;
};
std::vector<Counted> WithoutTransferTime(const std::vector<std::string>& records) {
  std::vector<Counted> kept;
  for (size_t i = 0; i < records.size(); ++i) {
    if (!IsTransferTime(records[i])) kept.push_back({records[i], i + 1});
  }
  return kept;
}

// The last save line that wrote `file`.
std::optional<JournalLine> SaveLineOf(const JournalText& journal, const std::string& file) {
  std::optional<JournalLine> found;
  for (const JournalText::Line& raw : journal.lines) {
    if (!raw.terminated) continue;
    std::optional<JournalLine> line = ParseJournalLine(raw.text);
    if (line && line->event() == kEventSave && line->file() == file) found = std::move(line);
  }
  return found;
}

bool ReadSegments(const std::string& text, int& first, int& last) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos || dash == 0 || dash + 1 == text.size()) return false;
  try {
    size_t used = 0;
    first = std::stoi(text.substr(0, dash), &used);
    if (used != dash) return false;
    last = std::stoi(text.substr(dash + 1), &used);
    if (used != text.size() - dash - 1) return false;
  } catch (const std::exception&) {
    return false;
  }
  return first >= 1 && last >= first;
}

Rederivation Failed(const std::string& text) { return {false, text}; }

}  // namespace

Rederivation RederiveIgcFile(const std::string& igcPath, long timezone, std::time_t utcNow) {
  const std::filesystem::path path(igcPath);
  const std::string directory = path.parent_path().string();
  const std::string name = path.filename().string();
  const WholeFile saved = ReadWholeFile(igcPath, kLargestTaskFile);
  if (!saved.ok) return Failed(saved.error.Text());
  const JournalText journal = ReadJournal(directory);
  if (journal.error.failed()) return Failed(journal.error.Text());
  const std::optional<JournalLine> line = SaveLineOf(journal, name);
  if (!line) return Failed(name + ": no save line in the journal names it");
  const std::string source = FieldValue(line->source());
  int first = 0;
  int last = 0;
  if (source.empty() || !ReadSegments(line->segments(), first, last)) {
    return Failed(name + ": its save line names no raw file and segments");
  }

  TrackTable table;
  const DecodeResult decoded = DecodeLogFile(PathIn(directory, source), table, TimeBasisAt(utcNow, timezone));
  if (!decoded.ok()) return Failed(DecodeFailureText(source, decoded));
  if (last > table.segmentCount) {
    return Failed(source + " has " + std::to_string(table.segmentCount) + " segments, not " + line->segments());
  }
  const std::vector<std::string> records = Records(saved.bytes);
  IgcSaveRequest request;
  request.firstSegment = first - 1;
  request.lastSegment = last - 1;
  request.competNo = FieldValue(line->competNo());
  request.pilotNames = FieldValue(line->pilot());
  request.loggerSN = table.serialText;
  request.loggerType = table.typeText;
  // The journal has no column for the task: its record is taken from the
  // file, and so cannot differ.
  for (const std::string& record : records) {
    if (record.rfind(kTaskRecord, 0) == 0) request.taskText = record.substr(sizeof kTaskRecord - 1);
  }
  request._timezone = timezone;
  if (const std::string problem = IgcSelectionProblem(table, request.firstSegment, request.lastSegment);
      !problem.empty()) {
    return Failed(source + ": " + problem);
  }

  const std::vector<Counted> expected = WithoutTransferTime(Records(IgcFileText(table, request)));
  const std::vector<Counted> actual = WithoutTransferTime(records);
  for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
    const std::string want = i < expected.size() ? expected[i].record : "(no record)";
    const std::string have = i < actual.size() ? actual[i].record : "(no record)";
    if (want == have) continue;
    const size_t lineNumber = i < actual.size() ? actual[i].lineNumber : records.size() + 1;
    return Failed(name + ": line " + std::to_string(lineNumber) + " differs from " + source + ", segments " +
                  line->segments() + ": '" + have + "', expected '" + want + "'");
  }
  return {true, "matches " + source + ", segments " + line->segments()};
}

}  // namespace orvald
