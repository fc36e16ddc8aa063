// Where and under which name the file lands, and what a failed save leaves behind.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <set>
#include <string>

#include "export/igc_file_name.h"
#include "export/igc_writer.h"
#include "igc_test_table.h"
#include "support/temp_dir.h"

namespace orvald {
namespace {

using testing::AddSegment;
using testing::kApril10th2007;
using testing::TempDir;

class IgcSave : public ::testing::Test {
 protected:
  void SetUp() override {
    AddSegment(table_, kApril10th2007, {{.hour = 10, .minute = 0, .second = 0}, {.hour = 10, .minute = 0, .second = 1}});
  }

  IgcSaveResult Save(const std::string& pilotNames = "") {
    IgcSaveRequest request;
    request.firstSegment = 0;
    request.lastSegment = 0;
    request.competNo = "12";
    request.taskText = "3";
    request.pilotNames = pilotNames;
    request.loggerSN = "SN1";
    request.loggerType = "5.1A";
    request.directory = dir_.path();
    return WriteIgcFile(table_, request);
  }

  void Touch(const std::string& name, const std::string& content = "earlier flight") {
    ASSERT_TRUE(testing::WriteWholeFile(dir_ / name, content));
  }

  TrackTable table_;
  TempDir dir_;
};

TEST_F(IgcSave, SuccessiveSavesTakeVersionsOneToNineThenA) {
  std::set<std::string> expected;
  const std::string versions = "123456789AB";
  for (char v : versions) {
    const IgcSaveResult result = Save("Pilot One");
    ASSERT_TRUE(result.saved()) << result.error;
    const std::string name = std::string("12T3V") + v + "_Pilot_One.igc";
    EXPECT_EQ(result.fileName, name);
    EXPECT_TRUE(result.error.empty());
    expected.insert(name);
  }
  EXPECT_EQ(dir_.Entries(), expected);  // no temporary left behind
}

TEST_F(IgcSave, EmptyPilotNamesGiveTheShortName) {
  const IgcSaveResult result = Save("");
  ASSERT_TRUE(result.saved()) << result.error;
  EXPECT_EQ(result.fileName, "12T3V1.igc");
}

TEST_F(IgcSave, NameWithSlashesStaysInTheDirectory) {
  const IgcSaveResult result = Save("../../etc/x");
  ASSERT_TRUE(result.saved()) << result.error;
  EXPECT_EQ(result.fileName, "12T3V1_.._.._etc_x.igc");
  EXPECT_EQ(dir_.Entries(), std::set<std::string>{"12T3V1_.._.._etc_x.igc"});
}

TEST_F(IgcSave, AnExistingFileIsNeverOverwrittenEvenWhenUnreadable) {
  Touch("12T3V1.igc", "keep me");
  ASSERT_EQ(chmod((dir_ / "12T3V1.igc").c_str(), 0), 0);
  ASSERT_EQ(symlink("nowhere", (dir_ / "12T3V2.igc").c_str()), 0);  // a dangling link is a name in use too
  ASSERT_EQ(mkdir((dir_ / "12T3V3.igc").c_str(), 0700), 0);

  const IgcSaveResult result = Save();
  ASSERT_TRUE(result.saved()) << result.error;
  EXPECT_EQ(result.fileName, "12T3V4.igc");
  chmod((dir_ / "12T3V1.igc").c_str(), 0600);
  EXPECT_EQ(testing::ReadWholeFile(dir_ / "12T3V1.igc"), "keep me");
  EXPECT_TRUE(TempDir::EntriesOf(dir_ / "12T3V3.igc").empty());
  EXPECT_EQ(dir_.Entries().size(), 4u);
}

TEST_F(IgcSave, TenthSaveAfterNineFilesIsA) {
  for (char v = '1'; v <= '9'; ++v) Touch(std::string("12T3V") + v + ".igc");
  const IgcSaveResult result = Save();
  ASSERT_TRUE(result.saved()) << result.error;
  EXPECT_EQ(result.fileName, "12T3VA.igc");
}

TEST_F(IgcSave, NoFreeNameAfterZ) {
  for (char v = '1'; v != 0; v = NextVersionChar(v)) Touch(std::string("12T3V") + v + ".igc");
  const std::set<std::string> before = dir_.Entries();
  ASSERT_EQ(before.size(), 35u);

  const IgcSaveResult result = Save();
  EXPECT_EQ(result.status, IgcSaveStatus::kNoFreeName);
  EXPECT_FALSE(result.saved());
  EXPECT_NE(result.error.find("12T3VZ.igc"), std::string::npos) << result.error;
  EXPECT_EQ(dir_.Entries(), before);
  EXPECT_EQ(testing::ReadWholeFile(dir_ / "12T3VZ.igc"), "earlier flight");
}

TEST_F(IgcSave, MissingDirectoryIsAnErrorAndCreatesNothing) {
  IgcSaveRequest request;
  request.firstSegment = request.lastSegment = 0;
  request.competNo = "12";
  request.taskText = "3";
  request.directory = dir_ / "not-there";
  const IgcSaveResult result = WriteIgcFile(table_, request);
  EXPECT_EQ(result.status, IgcSaveStatus::kCannotCreate);
  EXPECT_EQ(result.error, "Can't create file " + (dir_ / "not-there/12T3V1.igc") + ": No such file or directory");
  EXPECT_TRUE(dir_.Entries().empty());
}

TEST_F(IgcSave, DirectoryThatIsAFileIsAnError) {
  Touch("plain");
  IgcSaveRequest request;
  request.firstSegment = request.lastSegment = 0;
  request.directory = dir_ / "plain";
  const IgcSaveResult result = WriteIgcFile(table_, request);
  EXPECT_EQ(result.status, IgcSaveStatus::kCannotCreate);
  EXPECT_NE(result.error.find("Not a directory"), std::string::npos) << result.error;
}

// A file size limit makes the disk "full" half way through, for root as well.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = nullptr;
};

TEST_F(IgcSave, WriteFailureLeavesNoFileAndReportsTheReason) {
  IgcSaveResult result;
  {
    FileSizeLimit limit(600);  // the header records alone are longer
    result = Save("Pilot One");
  }
  EXPECT_EQ(result.status, IgcSaveStatus::kWriteFailed);
  EXPECT_FALSE(result.saved());
  EXPECT_EQ(result.error, "Can't write file " + (dir_ / "12T3V1_Pilot_One.igc") + ": File too large");
  EXPECT_TRUE(dir_.Entries().empty());

  // With room again the same save succeeds under the first version.
  const IgcSaveResult retry = Save("Pilot One");
  ASSERT_TRUE(retry.saved()) << retry.error;
  EXPECT_EQ(retry.fileName, "12T3V1_Pilot_One.igc");
}

}  // namespace
}  // namespace orvald
