#include <cstddef>
#include <string>

#include "export/igc_writer.h"

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
  std::string name = competNo + "T" + taskText + "V" + versionChar;
  name += pilotNames.empty() ? ".igc" : "_" + pilotNames + ".igc";
  if (name.size() > kMaxFileNameLength) name.resize(kMaxFileNameLength);
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

}  // namespace orvald
