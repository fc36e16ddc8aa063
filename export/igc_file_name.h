#pragma once
// The IGC file's name, "12T3V1_Pilot_One.igc": competition number, task,
// version character, pilot names. Made by the save and read back by the
// day's status, so both live here, apart from the writer.

#include <string>

namespace orvald {

// The file name for a version character: the names in their ASCII spelling,
// spaces and unsafe characters made "_".
std::string IgcFileName(const std::string& competNo, const std::string& taskText, char versionChar,
                        const std::string& pilotNames);

// The version character after `c`: '1'..'9', then 'A'..'Z'; 0 after 'Z'.
char NextVersionChar(char c);

// Every name IgcFileName gives one competition number and task, with any
// version character and any pilot part (or none).
class IgcTaskFileNames {
 public:
  IgcTaskFileNames(const std::string& competNo, const std::string& taskText);
  // The version character of `fileName`, or 0 when it is none of these names.
  char VersionOf(const std::string& fileName) const;

 private:
  std::string prefix_;  // the name up to its version character
};

}  // namespace orvald
