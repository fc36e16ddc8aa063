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
      // Required and optional places alike become Qt's optional ones: a cell
      // may be left unfilled (it then holds spaces), and a line edit whose
      // required places are empty would refuse Tab and Enter.
      case '0':
      case '9': mask += '0'; break;  // digit
      case 'L':
      case 'l': mask += 'a'; break;  // letter
      case 'A':
      case 'a': mask += 'n'; break;  // letter or digit
      case 'C':
      case 'c': mask += 'x'; break;  // any character
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
