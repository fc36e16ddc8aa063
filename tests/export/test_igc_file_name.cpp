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

TEST(IgcFileName, CutTo255CharactersBeforeReplacing) {
  const std::string pilot(300, ' ');
  const std::string name = IgcFileName("12", "3", '1', pilot);
  ASSERT_EQ(name.size(), 255u);
  EXPECT_EQ(name.substr(0, 7), "12T3V1_");
  EXPECT_EQ(name.find(' '), std::string::npos);
  EXPECT_EQ(name.back(), '_');  // the ".igc" end is cut off, as any over-long name
}

TEST(NextVersionChar, DigitsThenCapitalsThenNothing) {
  std::string sequence;
  for (char c = '1'; c != 0; c = NextVersionChar(c)) sequence += c;
  EXPECT_EQ(sequence, "123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(NextVersionChar('Z'), 0);
}

}  // namespace
}  // namespace orvald
