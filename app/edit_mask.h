#pragma once
// The tables keep their cell masks in the classic form "picture;save;blank"
// where 0 is a required digit and 9 an optional one. Qt's line edit reads
// masks differently (9 required, 0 optional), so the masks are translated
// once here. Unfilled places always show as spaces: that is the text a cell
// holds when the operator leaves it without digits.

#include <QString>
#include <string>
#include <vector>

namespace orvald {

// The Qt input mask for a table's mask text; empty for an empty mask.
QString QtInputMask(const std::string& tableMask);

// Whether a cell may keep `shown` (the editor's text, unfilled places as
// spaces) under the table's mask: either nothing is filled in, or every
// required place is. A competition number of one or two digits is neither.
bool MaskAccepts(const std::string& tableMask, const QString& shown);

// What a cell keeps when its editor closes on `shown`. Input the mask
// accepts stays as it is. Digits short of an all-digit mask are padded with
// leading zeros (44 -> 044) when no other cell of the column (`column`)
// holds a shorter number, so the padding is the column's own form;
// otherwise the text is kept as typed, trimmed, and `reason` says why it
// does not fit. A cell is never blanked.
struct SettledCell {
  QString text;
  std::string reason;  // empty when the text fits the mask
};
SettledCell SettleMaskedText(const std::string& tableMask, const QString& shown, const std::vector<QString>& column);

}  // namespace orvald
