// The one file writer: nothing under a final name until it is complete,
// nothing ever replaced by a new name, nothing left behind when cancelled.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>

#include <set>
#include <string>

#include "files/file_writer.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

TEST(FileWriter, TwoWritersOfTheSameNameNeverShareOrReplaceAFile) {
  TempDir dir;
  FileWriter first, second;
  ASSERT_TRUE(first.Begin(dir.path(), "X.G00.part"));
  ASSERT_TRUE(second.Begin(dir.path(), "X.G00.part"));
  EXPECT_NE(first.temporaryPath(), second.temporaryPath());
  ASSERT_TRUE(first.Write("one"));
  ASSERT_TRUE(second.Write("two"));
  EXPECT_EQ(dir.Entries().count("X.G00"), 0u) << "nothing final before the commit";

  ASSERT_TRUE(second.CommitNew(NumberedNames("X.G00", ".G00")));
  ASSERT_TRUE(first.CommitNew(NumberedNames("X.G00", ".G00")));
  EXPECT_EQ(second.finalName(), "X.G00");
  EXPECT_EQ(first.finalName(), "X-2.G00");
  EXPECT_EQ(dir.Entries(), (std::set<std::string>{"X.G00", "X-2.G00"}));
  EXPECT_EQ(ReadWholeFile(dir / "X.G00"), "two");
  EXPECT_EQ(ReadWholeFile(dir / "X-2.G00"), "one");
}

TEST(FileWriter, CancelledOrDestroyedLeavesNothingAndKeptLeavesTheTemporary) {
  TempDir dir;
  {
    FileWriter writer;
    ASSERT_TRUE(writer.Begin(dir.path(), "a.part"));
    writer.Write("x");
  }
  FileWriter cancelled;
  ASSERT_TRUE(cancelled.Begin(dir.path(), "b.part"));
  cancelled.Cancel();
  EXPECT_TRUE(dir.Entries().empty());

  FileWriter kept;
  ASSERT_TRUE(kept.Begin(dir.path(), "c.part"));
  kept.Write("what arrived");
  kept.Keep();
  kept.Cancel();
  EXPECT_EQ(ReadWholeFile(dir / "c.part"), "what arrived");
}

TEST(FileWriter, AFailedWriteIsNoCommitButWhatWasWrittenCanBeKeptUnderAnotherName) {
  TempDir dir;
  FileWriter writer;
  ASSERT_TRUE(writer.Begin(dir.path(), "d.part"));
  {
    // A file-size limit fails the write as a full disk does.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = 4;
    auto handler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tight);
    EXPECT_FALSE(writer.Write("kept, then no more"));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
  }
  EXPECT_EQ(writer.errorNumber(), EFBIG);
  EXPECT_FALSE(writer.Write("x")) << "nothing more after a failure";
  EXPECT_FALSE(writer.CommitNew(NumberedNames("d.G00", ".G00")));
  EXPECT_TRUE(dir.Entries().count("d.G00") == 0);
  EXPECT_TRUE(writer.CommitWritten(NumberedNames("d-incomplete.G00", ".G00")));
  EXPECT_EQ(ReadWholeFile(dir / "d-incomplete.G00"), "kept");
  EXPECT_EQ(writer.errorNumber(), EFBIG) << "why it is short is still known";
}

TEST(FileWriter, ReplacingKeepsThePermissionsAndEveryNameTakenIsReported) {
  TempDir dir;
  {
    FileWriter old;
    ASSERT_TRUE(old.Begin(dir.path(), "t.tmp"));
    old.Write("old");
    ASSERT_TRUE(old.CommitReplacing("t.tsv"));
  }
  ::chmod((dir / "t.tsv").c_str(), 0600);
  FileWriter writer;
  ASSERT_TRUE(writer.Begin(dir.path(), "t.tmp"));
  writer.Write("new");
  ASSERT_TRUE(writer.CommitReplacing("t.tsv"));
  EXPECT_EQ(ReadWholeFile(dir / "t.tsv"), "new");
  struct stat info {};
  ASSERT_EQ(::stat((dir / "t.tsv").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  FileWriter full;
  ASSERT_TRUE(full.Begin(dir.path(), "u.part"));
  EXPECT_FALSE(full.CommitNew([](int k) { return k == 0 ? std::string("t.tsv") : std::string(); }));
  EXPECT_TRUE(full.noFreeName());
  EXPECT_EQ(ReadWholeFile(dir / "t.tsv"), "new");
}

}  // namespace
}  // namespace orvald
