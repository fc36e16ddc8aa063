#include <gtest/gtest.h>

#include <string>

#include "export/igc_writer.h"

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
  // Letters beyond ASCII and ordinary punctuation stay as typed.
  EXPECT_EQ(IgcFileName("7", "2.b", '1', "Jos\xc3\xa9-M (x)"), "7T2.bV1_Jos\xc3\xa9-M_(x).igc");
}

TEST(IgcFileName, ALongNameGivesWayInThePilotPartAtACharacterBoundary) {
  const std::string name = IgcFileName("12", "3", '7', std::string(300, ' '));
  ASSERT_EQ(name.size(), 255u);
  EXPECT_EQ(name.substr(0, 7), "12T3V7_");
  EXPECT_EQ(name.substr(251), ".igc");
  EXPECT_EQ(name.find(' '), std::string::npos);

  // Two-byte letters: the cut never splits one.
  std::string accents;
  for (int i = 0; i < 200; ++i) accents += "\xc3\xa9";
  const std::string cut = IgcFileName("12", "3", '1', "A" + accents);
  EXPECT_LE(cut.size(), 255u);
  EXPECT_EQ(cut.substr(cut.size() - 4), ".igc");
  const std::string pilotPart = cut.substr(7, cut.size() - 11);
  EXPECT_EQ(pilotPart.size() % 2, 1u) << "the A, then whole two-byte letters";
  EXPECT_EQ(static_cast<unsigned char>(pilotPart.back()), 0xa9);

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
