#include <cstddef>

#include "export/igc_file_name.h"

#include "export/ascii_text.h"

namespace orvald {
namespace {

constexpr size_t kMaxFileNameLength = 255;

// Characters that cannot stand in a file name on the desks' systems, or that
// would lead the name out of the data directory.
bool UnsafeInFileName(unsigned char c) {
  switch (c) {
    case ' ': case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      return c < 0x20 || c == 0x7F;
  }
}

}  // namespace

std::string IgcFileName(const std::string& competNo, const std::string& taskText, char versionChar,
                        const std::string& pilotNames) {
  // Spelled in ASCII as in the file's records, so every desk's file system
  // and scoring program takes the name as it is, and any cut falls between
  // characters. The task, the version and the extension always stay: a long
  // name gives way in the pilot names first, then in the competition number.
  const std::string middle = "T" + AsciiSpelling(taskText) + "V" + versionChar;
  const std::string extension = ".igc";
  std::string compet = AsciiSpelling(competNo);
  std::string pilots = AsciiSpelling(pilotNames);
  const size_t fixed = middle.size() + extension.size();
  if (fixed + compet.size() > kMaxFileNameLength) {
    compet = compet.substr(0, kMaxFileNameLength > fixed ? kMaxFileNameLength - fixed : 0);
  }
  const size_t used = compet.size() + fixed;
  if (!pilots.empty() && used + 1 + pilots.size() > kMaxFileNameLength) {
    pilots = used + 1 < kMaxFileNameLength ? pilots.substr(0, kMaxFileNameLength - used - 1) : std::string();
  }
  std::string name = compet + middle + (pilots.empty() ? "" : "_" + pilots) + extension;
  for (char& c : name) {
    if (UnsafeInFileName(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

char NextVersionChar(char c) {
  if (c >= '1' && c <= '8') return static_cast<char>(c + 1);
  if (c == '9') return 'A';
  if (c >= 'A' && c <= 'Y') return static_cast<char>(c + 1);
  return 0;
}

IgcTaskFileNames::IgcTaskFileNames(const std::string& competNo, const std::string& taskText) {
  // The rule itself, with a placeholder where the version goes.
  const std::string sample = IgcFileName(competNo, taskText, '#', "");
  prefix_ = sample.substr(0, sample.size() - 5);  // without "#.igc"
}

char IgcTaskFileNames::VersionOf(const std::string& name) const {
  if (name.size() < prefix_.size() + 5 || name.compare(0, prefix_.size(), prefix_) != 0) return 0;
  const char version = name[prefix_.size()];
  if (!((version >= '1' && version <= '9') || (version >= 'A' && version <= 'Z'))) return 0;
  const std::string rest = name.substr(prefix_.size() + 1);
  const std::string extension = ".igc";
  const bool pilots = rest[0] == '_' && rest.size() >= extension.size() &&
                      rest.compare(rest.size() - extension.size(), extension.size(), extension) == 0;
  return rest == extension || pilots ? version : 0;
}

}  // namespace orvald
