#pragma once
// The tables keep their cell masks in the classic form "picture;save;blank"
// where 0 is a required digit and 9 an optional one. Qt's line edit reads
// masks differently (9 required, 0 optional), so the masks are translated
// once here. Unfilled places always show as spaces: that is the text a cell
// holds when the operator leaves it without digits.

#include <QString>
#include <string>

namespace orvald {

// The Qt input mask for a table's mask text; empty for an empty mask.
QString QtInputMask(const std::string& tableMask);

// Whether a cell may keep `shown` (the editor's text, unfilled places as
// spaces) under the table's mask: either nothing is filled in, or every
// required place is. A competition number of one or two digits is neither.
bool MaskAccepts(const std::string& tableMask, const QString& shown);

}  // namespace orvald
