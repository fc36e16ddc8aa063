#include "app/edit_mask.h"

#include <algorithm>

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

bool MaskAccepts(const std::string& tableMask, const QString& shown) {
  const std::string picture = tableMask.substr(0, tableMask.find(';'));
  bool anyFilled = false;
  bool requiredMissing = false;
  for (size_t i = 0; i < picture.size(); ++i) {
    const bool place = QString("09LlAaCc").contains(QChar(picture[i]));
    if (!place) continue;
    const bool filled = static_cast<int>(i) < shown.size() && shown[static_cast<int>(i)] != ' ';
    const bool required = QString("0LAC").contains(QChar(picture[i]));
    anyFilled = anyFilled || filled;
    requiredMissing = requiredMissing || (required && !filled);
  }
  return !anyFilled || !requiredMissing;
}

SettledCell SettleMaskedText(const std::string& tableMask, const QString& shown, const std::vector<QString>& column) {
  if (MaskAccepts(tableMask, shown)) return {shown, ""};
  const QString picture = QString::fromStdString(tableMask.substr(0, tableMask.find(';')));
  const QString typed = shown.trimmed();
  const bool allDigitPlaces = !picture.isEmpty() && std::all_of(picture.begin(), picture.end(), [](QChar c) {
    return c == '0' || c == '9';
  });
  const bool digits = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.isDigit(); });
  if (allDigitPlaces && digits) {
    const bool columnPadded = std::none_of(column.begin(), column.end(), [&](const QString& other) {
      const QString text = other.trimmed();
      return !text.isEmpty() && text.size() < picture.size();
    });
    if (columnPadded) return {typed.rightJustified(picture.size(), '0'), ""};
  }
  return {typed, std::to_string(picture.size()) + " places expected; kept as typed"};
}

}  // namespace orvald
