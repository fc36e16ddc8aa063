#pragma once
// One line of the data folder's day journal, journal.tsv: the event's
// fields, tab-separated, then the previous line's chain hash and this
// line's own, CR LF at the end. The chain hash of a line is the SHA-256 of
// the previous chain hash followed by the line's eleven fields joined with
// tabs, so a line changed, added or taken out breaks the chain after it
// unless every hash after it is made again.

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace orvald {

inline constexpr char kJournalFileName[] = "journal.tsv";
inline constexpr char kNoField[] = "-";
// The chain hash before the first line.
inline const std::string kFirstChainHash(64, '0');

// The events, as written.
inline constexpr char kEventDownload[] = "download";
inline constexpr char kEventIncomplete[] = "incomplete";
inline constexpr char kEventSave[] = "save";
inline constexpr char kEventErase[] = "erase";

struct JournalEntry {
  std::string time;    // "2026-12-08T14:03:12Z"
  std::string event;   // download, incomplete, save, erase
  std::string port;    // "COM2", a device path, or "-" for a save from a file
  std::string serial;  // the logger's
  std::string competNo;
  std::string pilot;
  std::string file;      // the file written, without its folder
  std::string sha256;    // of that file
  std::string source;    // a save: the raw file it was cut from
  std::string segments;  // a save: "FIRST-LAST" grid rows
  std::string verdict;   // a save of the competition mode: ok, check
};

inline constexpr int kJournalFieldCount = 11;
inline constexpr int kJournalColumnCount = kJournalFieldCount + 2;

// The entry's fields in the journal's order, each made safe: tabs, line
// ends and other control characters become '_', and an empty field is "-".
std::array<std::string, kJournalFieldCount> JournalFields(const JournalEntry& entry);

// "2026-12-08T14:03:12Z".
std::string JournalTimeText(std::time_t utc);

// SHA-256 (hex) of `previousChain` followed by the fields joined with tabs.
std::string ChainHash(const std::string& previousChain, const std::array<std::string, kJournalFieldCount>& fields);

// The whole line, CR LF included, chained to `previousChain`.
std::string JournalLineText(const JournalEntry& entry, const std::string& previousChain);
// The same of fields already made safe.
std::string ChainedLineText(const std::array<std::string, kJournalFieldCount>& fields,
                            const std::string& previousChain);

// A save of grid rows firstSegment+1..lastSegment+1 cut from the raw file
// `source` (a name or a path; the name is journalled). The file and its
// SHA-256 are added by DayJournal::Record.
JournalEntry SaveEntry(const std::string& port, const std::string& serial, const std::string& competNo,
                       const std::string& pilot, const std::string& source, int firstSegment, int lastSegment,
                       const std::string& verdict);

// A logger's memory erased on `port`.
JournalEntry EraseEntry(const std::string& port, const std::string& serial, const std::string& competNo,
                        const std::string& pilot);

// A line (without its CR LF) read back; nullopt when it does not have the
// journal's columns.
struct JournalLine {
  std::array<std::string, kJournalFieldCount> fields;
  std::string previousChain;
  std::string chain;
  const std::string& time() const { return fields[0]; }
  const std::string& event() const { return fields[1]; }
  const std::string& port() const { return fields[2]; }
  const std::string& competNo() const { return fields[4]; }
  const std::string& pilot() const { return fields[5]; }
  const std::string& file() const { return fields[6]; }
  const std::string& sha256() const { return fields[7]; }
  const std::string& source() const { return fields[8]; }
  const std::string& segments() const { return fields[9]; }
};
std::optional<JournalLine> ParseJournalLine(std::string_view text);

// A field read back: "-" is an empty text.
std::string FieldValue(const std::string& field);

}  // namespace orvald
