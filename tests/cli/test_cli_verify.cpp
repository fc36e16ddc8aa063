// The journal kept by download --task and igc, and orvald-cli verify on it:
// a real flight downloaded from orvald-sim, then the desk's files changed
// the ways a protest is about.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "journal/journal_file.h"
#include "journal/sha256.h"
#include "run_program.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

using testing::Cli;
using testing::ProgramRun;
using testing::Slurp;
using testing::TempDir;
using test::SimProcess;

std::vector<JournalLine> JournalLines(const std::string& dir) {
  std::vector<JournalLine> lines;
  for (const JournalText::Line& line : ReadJournal(dir).lines) lines.push_back(*ParseJournalLine(line.text));
  return lines;
}

// The journal made again from `lines`, every chain hash recomputed: what
// someone who rewrote it to hide a change would leave.
void RewriteJournal(const std::string& dir, const std::vector<JournalLine>& lines) {
  std::string text;
  std::string chain = kFirstChainHash;
  for (const JournalLine& line : lines) {
    text += ChainedLineText(line.fields, chain);
    chain = ChainHash(chain, line.fields);
  }
  testing::WriteWholeFile(dir + "/" + kJournalFileName, text);
}

class CliVerify : public ::testing::Test {
 protected:
  // One download of a real flight with the task saved, shared by the cases.
  static void SetUpTestSuite() {
    day_ = new TempDir;
    SimProcess sim({"--igc", std::string(ORVALD_FLIGHTS_DIR) + "/27GLQKF3.igc", "--serial", "QA712"});
    ASSERT_TRUE(sim.started()) << sim.error();
    testing::WriteWholeFile(*day_ / "loggers.tsv", "QA712\t042\tJane Doe\r\n");
    testing::WriteWholeFile(*day_ / "tasks.tsv", "1\t2022/07/16\t19:45:00\t21:00:00\r\n");
    port_ = sim.ptyPath();
    const ProgramRun run =
        Cli({"download", "--port", port_, "--dir", day_->path(), "--task", "1", "--tz-offset", "0"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
  }
  static void TearDownTestSuite() { delete day_; }

  // A copy of the day's folder for one case to change.
  void SetUp() override {
    ASSERT_NE(day_, nullptr);
    std::filesystem::copy(day_->path(), dir.path(), std::filesystem::copy_options::recursive);
    lines = JournalLines(dir.path());
    ASSERT_EQ(lines.size(), 2u);
    raw = lines[0].file();
    igc = dir / lines[1].file();
  }

  ProgramRun VerifyFolder() { return Cli({"verify", "--dir", dir.path()}); }
  ProgramRun VerifyFile() { return Cli({"verify", igc, "--tz-offset", "0"}); }

  static TempDir* day_;
  static std::string port_;
  TempDir dir;
  std::vector<JournalLine> lines;
  std::string raw;
  std::string igc;
};

TempDir* CliVerify::day_ = nullptr;
std::string CliVerify::port_;

TEST_F(CliVerify, TheDownloadAndItsSaveAreJournalledAndMatch) {
  const JournalLine& download = lines[0];
  const JournalLine& save = lines[1];
  using Texts = std::vector<std::string>;
  EXPECT_EQ(Texts(download.fields.begin() + 1, download.fields.end()),
            (Texts{"download", port_, "QA712", "042", "Jane Doe", raw, Sha256Hex(Slurp(dir / raw)), "-", "-", "-"}));
  EXPECT_EQ(Texts(save.fields.begin() + 1, save.fields.end()),
            (Texts{"save", port_, "QA712", "042", "Jane Doe", "042T1V1_Jane_Doe.igc", Sha256Hex(Slurp(igc)), raw,
                   save.segments(), "ok"}));
  EXPECT_EQ(save.previousChain, download.chain);

  ProgramRun run = VerifyFolder();
  EXPECT_EQ(run.exitStatus, 0) << run.out;
  EXPECT_EQ(run.out, "Checked 2 journal lines and 2 files: nothing wrong\n");
  run = VerifyFile();
  EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "matches " + raw + ", segments " + save.segments() + "\n");

}

TEST_F(CliVerify, AChangedFixIsFoundEvenWithTheJournalRewritten) {
  std::string text = Slurp(igc);
  const size_t b = text.find("\r\nB") + 2;
  text[b + 10] = text[b + 10] == '0' ? '1' : '0';  // a latitude digit of the first fix
  testing::WriteWholeFile(igc, text);
  lines[1].fields[7] = Sha256Hex(text);
  RewriteJournal(dir.path(), lines);

  EXPECT_EQ(VerifyFolder().exitStatus, 0) << "the hashes alone cannot tell";
  const ProgramRun run = VerifyFile();
  EXPECT_EQ(run.exitStatus, 1);
  const size_t lineNumber = std::count(text.begin(), text.begin() + b, '\n') + 1;
  EXPECT_EQ(run.out.rfind("042T1V1_Jane_Doe.igc: line " + std::to_string(lineNumber) + " differs from " + raw, 0), 0u)
      << run.out;
}

TEST_F(CliVerify, AChangedRawImageAndALineTakenOutAreFound) {
  std::string bytes = Slurp(dir / raw);
  bytes[bytes.size() / 2] ^= 0x01;
  testing::WriteWholeFile(dir / raw, bytes);
  EXPECT_EQ(VerifyFolder().out,
            raw + ": changed since " + lines[0].time() + "\nChecked 2 journal lines and 2 files: 1 problem\n");
  std::string text;
  for (const JournalText::Line& line : ReadJournal(dir.path()).lines) text += line.text + "\r\n";
  testing::WriteWholeFile(dir / kJournalFileName, text.substr(text.find("\r\n") + 2));
  const ProgramRun run = VerifyFolder();
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "line 1: chain broken\n" + raw +
                         ": not in the journal\nChecked 1 journal line and 1 file: 2 problems\n");
}

}  // namespace
}  // namespace orvald
