// The day journal: appends from several writers at once, a journal cut by a
// full disk, the chain line by line, and a folder checked against it.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "journal/journal_file.h"
#include "journal/journal_verify.h"
#include "journal/sha256.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;
using testing::WriteWholeFile;

JournalEntry Download(const std::string& pilot, const std::string& file = "") {
  JournalEntry entry;
  entry.time = "2026-12-08T14:03:12Z";
  entry.event = kEventDownload;
  entry.port = "COM2";
  entry.serial = "QA712";
  entry.competNo = "042";
  entry.pilot = pilot;
  entry.file = file;
  return entry;
}

std::vector<std::string> Lines(const TempDir& dir) {
  std::vector<std::string> lines;
  for (const JournalText::Line& line : ReadJournal(dir.path()).lines) lines.push_back(line.text);
  return lines;
}

void WriteLines(const TempDir& dir, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  WriteWholeFile(dir / kJournalFileName, text);
}

TEST(JournalAppend, WritersAtOnceKeepWholeChainedLines) {
  TempDir dir;
  constexpr int kEach = 25;
  // Two programs and four threads of a third append side by side.
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t child = fork();
    if (child == 0) {
      bool ok = true;
      for (int i = 0; i < kEach; ++i) ok &= AppendJournalEntry(dir.path(), Download("process" + std::to_string(p))).ok;
      _exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&dir, t] {
      for (int i = 0; i < kEach; ++i) EXPECT_TRUE(AppendJournalEntry(dir.path(), Download("thread" + std::to_string(t))).ok);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const pid_t child : children) {
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  std::map<std::string, int> linesBy;
  for (const std::string& text : Lines(dir)) {
    const auto line = ParseJournalLine(text);
    ASSERT_TRUE(line) << text;
    ++linesBy[line->pilot()];
  }
  EXPECT_EQ(linesBy.size(), 6u);
  for (const auto& [writer, count] : linesBy) EXPECT_EQ(count, kEach) << writer;
  const FolderCheck check = CheckDataFolder(dir.path());
  EXPECT_TRUE(check.ok()) << check.problems.front();
  EXPECT_EQ(check.lines, 6 * kEach);
}

TEST(JournalAppend, FieldsAreMadeSafeAndTheHashIsSha256) {
  TempDir dir;
  ASSERT_TRUE(AppendJournalEntry(dir.path(), Download("Jane\tDoe\r\nline")).ok);
  EXPECT_EQ(ParseJournalLine(Lines(dir).at(0))->pilot(), "Jane_Doe__line");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// The last line lost its end (a disk that filled, a crash): the cut line is
// never taken as written, and the next append does not run on into it.
TEST(JournalAppend, CutLastLineIsReportedNeverExtended) {
  struct Case {
    size_t cut;  // bytes taken off the end
    std::vector<std::string> afterAppend;
  };
  const std::vector<Case> cases = {
      {1, {"line 2: not a journal line"}},
      {2, {"line 3: chain broken"}},  // the whole line but its CR LF: the next one chains past it
      {120, {"line 2: not a journal line"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ASSERT_TRUE(AppendJournalEntry(dir.path(), Download("one")).ok);
    ASSERT_TRUE(AppendJournalEntry(dir.path(), Download("two")).ok);
    const std::string path = dir / kJournalFileName;
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(ReadWholeFile(path).size() - c.cut)), 0);
    EXPECT_EQ(CheckDataFolder(dir.path()).problems, std::vector<std::string>{"line 2: incomplete, no line end"})
        << c.cut;

    const JournalAppendResult appended = AppendJournalEntry(dir.path(), Download("three"));
    EXPECT_TRUE(appended.ok && appended.afterCutLine) << c.cut;
    EXPECT_EQ(CheckDataFolder(dir.path()).problems, c.afterAppend) << c.cut;
    const auto last = ParseJournalLine(Lines(dir).back());
    ASSERT_TRUE(last) << c.cut;
    EXPECT_EQ(last->pilot(), "three");
  }
}

TEST(JournalAppend, LineThatDoesNotFitIsTakenBack) {
  TempDir dir;
  ASSERT_TRUE(AppendJournalEntry(dir.path(), Download("one")).ok);
  const std::string before = ReadWholeFile(dir / kJournalFileName);
  // A file-size limit a few bytes past the end: the write stops part-way,
  // as on a disk that fills.
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{before.size() + 30, before.size() + 30};
    setrlimit(RLIMIT_FSIZE, &limit);
    const JournalAppendResult appended = AppendJournalEntry(dir.path(), Download("two"));
    _exit(!appended.ok && appended.error.number == EFBIG ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadWholeFile(dir / kJournalFileName), before);
}

// One change to a journal of four lines, and what the check says of it.
TEST(JournalChain, EveryChangeBreaksTheChainWhereItIs) {
  struct Case {
    const char* change;
    std::vector<std::string> (*apply)(std::vector<std::string>);
    std::vector<std::string> problems;
  };
  // Line 2 with a pilot changed and its chain hash made again; with `onwards`
  // every later one's too.
  static auto changeLine2 = [](std::vector<std::string> lines, bool onwards) {
    lines[1].replace(lines[1].find("p2"), 2, "pX");
    for (size_t i = 1; i < (onwards ? lines.size() : 2); ++i) {
      const std::string text = ChainedLineText(ParseJournalLine(lines[i])->fields, ParseJournalLine(lines[i - 1])->chain);
      lines[i] = text.substr(0, text.size() - 2);
    }
    return lines;
  };
  const std::vector<Case> cases = {
      {"nothing", [](auto lines) { return lines; }, {}},
      {"a pilot changed", [](auto lines) {
         lines[1].replace(lines[1].find("p2"), 2, "pX");
         return lines;
       }, {"line 2: chain broken"}},
      {"a line removed", [](auto lines) {
         lines.erase(lines.begin() + 1);
         return lines;
       }, {"line 2: chain broken"}},
      {"a line's own hash made again", [](auto lines) { return changeLine2(lines, false); }, {"line 3: chain broken"}},
      {"every hash after it made again", [](auto lines) { return changeLine2(lines, true); }, {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    for (const char* pilot : {"p1", "p2", "p3", "p4"}) ASSERT_TRUE(AppendJournalEntry(dir.path(), Download(pilot)).ok);
    WriteLines(dir, c.apply(Lines(dir)));
    EXPECT_EQ(CheckDataFolder(dir.path()).problems, c.problems) << c.change;
  }
}

TEST(JournalVerify, NamedFilesAreThereUnchangedAndNoOtherIsUnknown) {
  TempDir dir;
  const DayJournal journal(dir.path(), [] { return std::time_t{1796738592}; });
  dir.Write("QA712-20261208-140012.G00", "raw bytes");
  dir.Write("042T3V1_John_Smith.igc", "task file");
  dir.Write("QB100-20261208-141500.G00", "another raw file");
  ASSERT_TRUE(journal.Record(Download("John Smith"), dir / "QA712-20261208-140012.G00").ok);
  ASSERT_TRUE(journal.Record(SaveEntry("-", "QA712", "042", "John Smith", "QA712-20261208-140012.G00", 2, 6, ""),
                             dir / "042T3V1_John_Smith.igc")
                  .ok);
  ASSERT_TRUE(journal.Record(Download("Jane Doe"), dir / "QB100-20261208-141500.G00").ok);
  const auto save = ParseJournalLine(Lines(dir).at(1));
  ASSERT_TRUE(save);
  EXPECT_EQ(save->segments(), "3-7");
  EXPECT_EQ(save->sha256(), Sha256Hex("task file"));
  EXPECT_EQ(save->time(), "2026-12-08T14:03:12Z");
  DigestCache cache;  // the window's: must see a rewrite of the same size at once
  FolderCheck check = CheckDataFolder(dir.path(), &cache);
  EXPECT_TRUE(check.ok());
  EXPECT_EQ(check.Summary(), "Checked 3 journal lines and 3 files: nothing wrong");

  dir.Write("042T3V1_John_Smith.igc", "task filE");
  ASSERT_EQ(unlink((dir / "QB100-20261208-141500.G00").c_str()), 0);
  dir.Write("007T3V2_Jane_Doe.igc", "not journalled");
  dir.Write("QC555-20261208-150000.G00.part", "a download running");
  dir.Write("042T3V1_John_Smith.kml", "beside the task file");
  check = CheckDataFolder(dir.path(), &cache);
  EXPECT_EQ(check.problems, (std::vector<std::string>{"042T3V1_John_Smith.igc: changed since 2026-12-08T14:03:12Z",
                                                      "QB100-20261208-141500.G00: missing",
                                                      "007T3V2_Jane_Doe.igc: not in the journal"}));
  // What the Today view marks: the named files gone or changed, not the strangers.
  EXPECT_EQ(check.unmatched, (std::set<std::string>{"042T3V1_John_Smith.igc", "QB100-20261208-141500.G00"}));
  EXPECT_EQ(check.Summary(), "Checked 3 journal lines and 3 files: 3 problems");

  ASSERT_EQ(unlink((dir / kJournalFileName).c_str()), 0);
  EXPECT_EQ(CheckDataFolder(dir.path()).problems.front(), "journal.tsv: missing");
}

}  // namespace
}  // namespace orvald
