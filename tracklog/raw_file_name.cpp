#include "tracklog/raw_file_name.h"

#include <algorithm>
#include <cstdio>

#include "tracklog/safe_text.h"

namespace orvald {
namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool AllDigits(const std::string& s, size_t pos, size_t count) {
  if (pos + count > s.size()) return false;
  return std::all_of(s.begin() + static_cast<long>(pos), s.begin() + static_cast<long>(pos + count),
                     [](char c) { return c >= '0' && c <= '9'; });
}

int Number(const std::string& s, size_t pos, size_t count) { return std::stoi(s.substr(pos, count)); }

}  // namespace

std::string IncompleteRawFileName(const std::string& rawFileName) {
  const std::string extension = kRawFileExtension;
  const bool hasExtension = rawFileName.size() >= extension.size() &&
                            rawFileName.compare(rawFileName.size() - extension.size(), extension.size(), extension) == 0;
  const std::string stem = hasExtension ? rawFileName.substr(0, rawFileName.size() - extension.size()) : rawFileName;
  return stem + "-incomplete" + extension;
}

bool IsIncompleteRawFileName(const std::string& fileName) {
  // "...-incomplete.G00" or, when that was taken, "...-incomplete-N.G00".
  const size_t mark = fileName.rfind("-incomplete");
  if (mark == std::string::npos) return false;
  std::string rest = fileName.substr(mark + 11);
  if (!rest.empty() && rest[0] == '-') {
    size_t digits = 1;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    if (digits == 1) return false;
    rest = rest.substr(digits);
  }
  return rest == kRawFileExtension || rest == ".G00.part";
}

std::string RawFileName(const std::string& serialText, const std::tm& localTime) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "-%04d%02d%02d-%02d%02d%02d.G00", localTime.tm_year + 1900,
                localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
  return SafeFileNameText(serialText) + stamp;
}

bool ParseRawFileName(const std::string& name, RawFileInfo& info) {
  std::string stem = name;
  bool incomplete = false;
  if (EndsWith(stem, ".part")) {
    stem.resize(stem.size() - 5);
    incomplete = true;
  }
  if (!EndsWith(stem, ".G00") && !EndsWith(stem, ".g00")) return false;
  stem.resize(stem.size() - 4);

  int copy = 1;
  // "-incomplete" and "-N" in either order, each at most once.
  for (int pass = 0; pass < 2; ++pass) {
    if (EndsWith(stem, "-incomplete") && stem.size() > 11) {
      stem.resize(stem.size() - 11);
      incomplete = true;
      continue;
    }
    const size_t dash = stem.rfind('-');
    // A copy number follows the time, which is 6 digits; a short number after a dash is a copy.
    if (copy == 1 && dash != std::string::npos && stem.size() - dash - 1 >= 1 && stem.size() - dash - 1 <= 4 &&
        AllDigits(stem, dash + 1, stem.size() - dash - 1) && dash >= 16) {
      copy = Number(stem, dash + 1, stem.size() - dash - 1);
      stem.resize(dash);
    }
  }

  // "-YYYYMMDD-HHMMSS" at the end, the serial before it.
  if (stem.size() < 16) return false;
  const size_t date = stem.size() - 15;
  if (stem[date - 1] != '-' || stem[date + 8] != '-' || !AllDigits(stem, date, 8) || !AllDigits(stem, date + 9, 6)) {
    return false;
  }
  CivilDateTime t{Number(stem, date, 4),     Number(stem, date + 4, 2),  Number(stem, date + 6, 2),
                  Number(stem, date + 9, 2), Number(stem, date + 11, 2), Number(stem, date + 13, 2)};
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) || t.hour > 23 ||
      t.minute > 59 || t.second > 60) {
    return false;
  }
  info.fileName = name;
  info.serial = stem.substr(0, date - 1);
  info.localTime = t;
  info.copy = copy;
  info.incomplete = incomplete;
  return true;
}

}  // namespace orvald
