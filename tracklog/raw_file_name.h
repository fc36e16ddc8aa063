#pragma once
// The raw file's name, built by the download and read back by the day's
// status: SERIAL-YYYYMMDD-HHMMSS[-incomplete][-N].G00,
// the local date and time at which the download started; "NAME.G00.part" is
// a download that is running or never ended.

#include <ctime>
#include <string>

#include "tracklog/calendar.h"

namespace orvald {

inline constexpr char kRawFileExtension[] = ".G00";

// "%s-%04d%02d%02d-%02d%02d%02d.G00" from the (made safe) serial text and the
// local date and time at which the download started.
std::string RawFileName(const std::string& serialText, const std::tm& localTime);

// The name a download that ended early is kept under: "-incomplete" before
// the extension ("X-20070410-153012-incomplete.G00").
std::string IncompleteRawFileName(const std::string& rawFileName);
// Whether a raw file's name says its download ended early. Any name, also
// one that an operator gave the file: only the mark before the extension counts.
bool IsIncompleteRawFileName(const std::string& fileName);

// What a raw file's name says.
struct RawFileInfo {
  std::string fileName;
  std::string serial;  // everything before the date; may be empty
  CivilDateTime localTime{};
  int copy = 1;  // N of a "-N" that a taken name was given
  bool incomplete = false;
};
// False when the name is not one that a download writes.
bool ParseRawFileName(const std::string& name, RawFileInfo& info);

}  // namespace orvald
