#include "app/edit_mask.h"

namespace orvald {

QString QtInputMask(const std::string& tableMask) {
  // Only the picture part counts; the "save literals" flag is always on for
  // these tables and the blank is always a space.
  const std::string picture = tableMask.substr(0, tableMask.find(';'));
  if (picture.empty()) return QString();
  QString mask;
  for (char c : picture) {
    switch (c) {
      case '0': mask += '9'; break;  // required digit
      case '9': mask += '0'; break;  // optional digit
      case 'L': mask += 'A'; break;  // required letter
      case 'l': mask += 'a'; break;  // optional letter
      case 'A': mask += 'N'; break;  // required letter or digit
      case 'a': mask += 'n'; break;  // optional letter or digit
      case 'C': mask += 'X'; break;  // required character
      case 'c': mask += 'x'; break;  // optional character
      default:
        // Everything else is a literal; escape the characters Qt would read as places.
        if (QString("AaNnXx90Dd#HhBb><!{}[]\\").contains(QChar(c))) mask += '\\';
        mask += QChar(c);
        break;
    }
  }
  return mask + "; ";
}

}  // namespace orvald
