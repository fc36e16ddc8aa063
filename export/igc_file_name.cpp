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

// At most `size` bytes of `text`, never ending inside a UTF-8 character.
std::string CutAtCharacter(const std::string& text, size_t size) {
  if (text.size() <= size) return text;
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  return text.substr(0, size);
}

}  // namespace

std::string IgcFileName(const std::string& competNo, const std::string& taskText, char versionChar,
                        const std::string& pilotNames) {
  // The task, the version and the extension always stay: a long name gives
  // way in the pilot names first, then in the competition number.
  const std::string middle = "T" + taskText + "V" + versionChar;
  const std::string extension = ".igc";
  std::string compet = competNo;
  std::string pilots = pilotNames;
  const size_t fixed = middle.size() + extension.size();
  if (fixed + compet.size() > kMaxFileNameLength) {
    compet = CutAtCharacter(compet, kMaxFileNameLength > fixed ? kMaxFileNameLength - fixed : 0);
  }
  const size_t used = compet.size() + fixed;
  if (!pilots.empty() && used + 1 + pilots.size() > kMaxFileNameLength) {
    pilots = used + 1 < kMaxFileNameLength ? CutAtCharacter(pilots, kMaxFileNameLength - used - 1) : std::string();
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

}  // namespace orvald
