#pragma once
// Signs that a raw file is not a logger's memory, however it decoded: any
// bytes decode to some points, so a file of noise opens as a grid of
// nonsense unless the operator is told what no logger would write.

#include "tracklog/track_table.h"

namespace orvald {

// Altitudes no flight at the desk reaches: below the lowest land, or above
// what a microlight climbs to.
inline constexpr int kLowestPlausibleMetres = -500;
inline constexpr int kHighestPlausibleMetres = 9000;

struct DamageSigns {
  bool garbledIdentity = false;  // the serial or type text holds bytes that are not printable ASCII
  int backwardSegments = 0;      // segments that finish before they start
  int implausibleAltitudes = 0;  // points beyond kLowestPlausibleMetres..kHighestPlausibleMetres
  bool any() const { return garbledIdentity || backwardSegments > 0 || implausibleAltitudes > 0; }
};

DamageSigns SurveyDamage(const TrackTable& table);

}  // namespace orvald
