// The raw file writer: the .part name, the rename, and the failures it reports.

#include <gtest/gtest.h>

#include <cerrno>

#include "logger/download_fixture.h"
#include "logger/raw_file_writer.h"

namespace orvald::testing {
namespace {

TEST(RawFileWriter, WritesUnderPartNameAndRenamesOnFinish) {
  TempDir dir;
  RawFileWriter writer;
  ASSERT_TRUE(writer.Create(dir / "a.G00"));
  const uint8_t bytes[] = {1, 2, 3, 4};
  ASSERT_TRUE(writer.Write(bytes, 4));
  EXPECT_TRUE(std::filesystem::exists(dir / "a.G00.part"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.G00"));
  ASSERT_TRUE(writer.Finish());
  EXPECT_FALSE(std::filesystem::exists(dir / "a.G00.part"));
  EXPECT_EQ(ReadBytes(dir / "a.G00"), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(writer.bytesWritten(), 4u);
}

TEST(RawFileWriter, DiscardRemovesAndKeepLeavesThePart) {
  TempDir dir;
  {
    RawFileWriter writer;
    ASSERT_TRUE(writer.Create(dir / "b.G00"));
    writer.Discard();
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  {
    RawFileWriter writer;
    ASSERT_TRUE(writer.Create(dir / "c.G00"));
    const uint8_t byte = 7;
    writer.Write(&byte, 1);
    writer.CloseKeepingPart();
  }
  EXPECT_EQ(ReadBytes(dir / "c.G00.part"), std::vector<uint8_t>{7});
}

TEST(RawFileWriter, ReportsWhyItCannotCreateOrWrite) {
  TempDir dir;
  RawFileWriter writer;
  EXPECT_FALSE(writer.Create((std::filesystem::path(dir.path()) / "missing" / "d.G00").string()));
  EXPECT_EQ(writer.errorNumber(), ENOENT);
  const uint8_t byte = 7;
  EXPECT_FALSE(writer.Write(&byte, 1));

  RawFileWriter full;
  std::filesystem::create_symlink("/dev/full", dir / "e.G00.part");
  ASSERT_TRUE(full.Create(dir / "e.G00"));
  EXPECT_FALSE(full.Write(&byte, 1));
  EXPECT_EQ(full.errorNumber(), ENOSPC);
  EXPECT_FALSE(full.Write(&byte, 1)) << "writes go on after a failure";
  EXPECT_FALSE(full.Finish());
  EXPECT_FALSE(std::filesystem::exists(dir / "e.G00"));
}

}  // namespace
}  // namespace orvald::testing
