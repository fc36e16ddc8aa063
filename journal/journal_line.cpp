#include "journal/journal_line.h"

#include <filesystem>

#include "journal/sha256.h"

namespace orvald {

namespace {

std::string SafeField(const std::string& text) {
  if (text.empty()) return kNoField;
  std::string safe = text;
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '_';
  }
  return safe;
}

std::string Joined(const std::array<std::string, kJournalFieldCount>& fields) {
  std::string text;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) text += '\t';
    text += fields[i];
  }
  return text;
}

}  // namespace

std::array<std::string, kJournalFieldCount> JournalFields(const JournalEntry& e) {
  return {SafeField(e.time),   SafeField(e.event),  SafeField(e.port),   SafeField(e.serial),
          SafeField(e.competNo), SafeField(e.pilot), SafeField(e.file),   SafeField(e.sha256),
          SafeField(e.source), SafeField(e.segments), SafeField(e.verdict)};
}

std::string JournalTimeText(std::time_t utc) {
  std::tm fields{};
  gmtime_r(&utc, &fields);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &fields);
  return text;
}

std::string ChainHash(const std::string& previousChain, const std::array<std::string, kJournalFieldCount>& fields) {
  return Sha256Hex(previousChain + Joined(fields));
}

std::string JournalLineText(const JournalEntry& entry, const std::string& previousChain) {
  return ChainedLineText(JournalFields(entry), previousChain);
}

std::string ChainedLineText(const std::array<std::string, kJournalFieldCount>& fields,
                            const std::string& previousChain) {
  return Joined(fields) + '\t' + previousChain + '\t' + ChainHash(previousChain, fields) + "\r\n";
}

namespace {

// Whose log an entry is about, as every kind of entry names it.
JournalEntry EntryFor(const char* event, const std::string& port, const std::string& serial,
                      const std::string& competNo, const std::string& pilot) {
  JournalEntry entry;
  entry.event = event;
  entry.port = port;
  entry.serial = serial;
  entry.competNo = competNo;
  entry.pilot = pilot;
  return entry;
}

}  // namespace

JournalEntry SaveEntry(const std::string& port, const std::string& serial, const std::string& competNo,
                       const std::string& pilot, const std::string& source, int firstSegment, int lastSegment,
                       const std::string& verdict) {
  JournalEntry entry = EntryFor(kEventSave, port, serial, competNo, pilot);
  entry.source = std::filesystem::path(source).filename().string();
  entry.segments = std::to_string(firstSegment + 1) + "-" + std::to_string(lastSegment + 1);
  entry.verdict = verdict;
  return entry;
}

JournalEntry EraseEntry(const std::string& port, const std::string& serial, const std::string& competNo,
                        const std::string& pilot) {
  return EntryFor(kEventErase, port, serial, competNo, pilot);
}

std::optional<JournalLine> ParseJournalLine(std::string_view text) {
  std::array<std::string, kJournalColumnCount> columns;
  size_t column = 0;
  size_t at = 0;
  while (true) {
    const size_t tab = text.find('\t', at);
    if (column == columns.size()) return std::nullopt;
    columns[column++] = std::string(text.substr(at, tab == std::string_view::npos ? std::string_view::npos : tab - at));
    if (tab == std::string_view::npos) break;
    at = tab + 1;
  }
  if (column != columns.size()) return std::nullopt;
  JournalLine line;
  for (int i = 0; i < kJournalFieldCount; ++i) line.fields[i] = columns[i];
  line.previousChain = columns[kJournalFieldCount];
  line.chain = columns[kJournalFieldCount + 1];
  if (!IsSha256Hex(line.previousChain) || !IsSha256Hex(line.chain)) return std::nullopt;
  return line;
}

std::string FieldValue(const std::string& field) { return field == kNoField ? std::string() : field; }

}  // namespace orvald
