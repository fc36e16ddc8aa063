#pragma once
// The proof for one task file: it is made again from the raw image and the
// segments its save line in the journal names, through the same IGC writer,
// and compared record by record with the file as it is now, all but the
// transfer date and time. The raw image decides, so a B record changed in
// the file is found even when the journal's hashes were made again to match.

#include <ctime>
#include <string>

namespace orvald {

struct Rederivation {
  bool matches = false;
  // "matches QA712-20261208-140012.G00, segments 3-7", the first record
  // that differs, or why the file could not be made again.
  std::string text;
};

// `igcPath`'s folder holds the journal and the raw file. `timezone` is the
// offset the desk saved with (seconds west of UTC); `utcNow` dates the decode.
Rederivation RederiveIgcFile(const std::string& igcPath, long timezone, std::time_t utcNow);

}  // namespace orvald
