#include <gtest/gtest.h>

#include <string>

#include "export/igc_file_name.h"

namespace orvald {
namespace {

TEST(IgcFileName, CompetitionTaskVersionAndPilot) {
  EXPECT_EQ(IgcFileName("12", "3", '1', "Pilot One"), "12T3V1_Pilot_One.igc");
  EXPECT_EQ(IgcFileName("12", "3", 'A', "Pilot One"), "12T3VA_Pilot_One.igc");
}

TEST(IgcFileName, EmptyPilotNamesLeaveOutTheUnderscorePart) {
  EXPECT_EQ(IgcFileName("12", "3", '1', ""), "12T3V1.igc");
  EXPECT_EQ(IgcFileName("", "", '1', ""), "TV1.igc");
}

TEST(IgcFileName, SpacesAnywhereBecomeUnderscores) {
  EXPECT_EQ(IgcFileName("1 2", "task 3", '2', " A  B "), "1_2Ttask_3V2__A__B_.igc");
}

TEST(IgcFileName, CharactersThatLeaveTheDirectoryOrAreRejectedBecomeUnderscores) {
  EXPECT_EQ(IgcFileName("../..", "3", '1', "a/b\\c"), ".._..T3V1_a_b_c.igc");
  EXPECT_EQ(IgcFileName("1:2", "*?", '1', "\"<x>|\""), "1_2T__V1___x___.igc");
  EXPECT_EQ(IgcFileName("1\t2", std::string("a\nb\r\x01\x1f\x7f", 8), '1', ""), "1_2Ta_b_____V1.igc");
  // Names in any script are spelled in ASCII; what has none, or is no UTF-8, is '_'.
  EXPECT_EQ(IgcFileName("\xC3\x98" "7", "2.b", '1', "Kova\xC4\x8D" "evi\xC4\x87-M (x)"), "O7T2.bV1_Kovacevic-M_(x).igc");
  EXPECT_EQ(IgcFileName("7", "\xE6\x9D\x8E", '1', "a\xE2\x82\xAC\xFF"), "7TliV1_a__.igc");
}

TEST(IgcFileName, ALongNameGivesWayInThePilotPartAtACharacterBoundary) {
  const std::string name = IgcFileName("12", "3", '7', std::string(300, ' '));
  ASSERT_EQ(name.size(), 255u);
  EXPECT_EQ(name.substr(0, 7), "12T3V7_");
  EXPECT_EQ(name.substr(251), ".igc");
  EXPECT_EQ(name.find(' '), std::string::npos);

  // Two-byte letters count as their one-letter spelling, not as their bytes.
  std::string accents;
  for (int i = 0; i < 250; ++i) accents += "\xc3\xa9";
  EXPECT_EQ(IgcFileName("12", "3", '1', "A" + accents), "12T3V1_A" + std::string(243, 'e') + ".igc");

  // Even a huge competition number keeps the task, the version and the end.
  const std::string huge = IgcFileName(std::string(400, '9'), "3", 'B', "X");
  EXPECT_EQ(huge.size(), 255u);
  EXPECT_EQ(huge.substr(huge.size() - 8), "T3VB.igc");
}

TEST(NextVersionChar, DigitsThenCapitalsThenNothing) {
  std::string sequence;
  for (char c = '1'; c != 0; c = NextVersionChar(c)) sequence += c;
  EXPECT_EQ(sequence, "123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(NextVersionChar('Z'), 0);
}

}  // namespace
}  // namespace orvald
