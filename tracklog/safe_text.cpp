#include "tracklog/safe_text.h"

namespace orvald {

std::string SafeFileNameText(const std::string& text) {
  std::string safe = text;
  for (char& c : safe) {
    const unsigned char u = static_cast<unsigned char>(c);
    // Bytes beyond ASCII too: a logger's serial is no text of any known
    // encoding, and the desks' file systems and programs disagree on them.
    const bool unprintable = u < 0x20 || u >= 0x7F;
    switch (c) {
      case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        c = '_';
        break;
      default:
        if (unprintable) c = '_';
    }
  }
  return safe;
}

std::string SafeDisplayText(const std::string& text) {
  std::string safe = text;
  for (char& c : safe) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '_';
  }
  return safe;
}

}  // namespace orvald
