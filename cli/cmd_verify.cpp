// orvald-cli verify [--dir DIR]
// orvald-cli verify FILE.igc [--tz-offset SECONDS]
// The data folder checked against its day journal (the chain, every file
// the journal names, the files it does not know), one problem a line and
// what was checked last; or one task file made again from its raw image and
// compared record by record. Exit 0 when nothing is wrong, 1 otherwise.

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "journal/journal_verify.h"
#include "journal/rederive.h"
#include "tracklog/log_file.h"
#include "tracklog/safe_text.h"

namespace orvald::cli {

int RunVerify(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"dir", "tz-offset"});
  if (!parsed.error.empty()) return UsageError("verify", parsed.error);
  if (parsed.positional.size() > 1) return UsageError("verify", "takes at most one FILE.igc");
  if (parsed.positional.size() == 1) {
    const std::string& file = parsed.positional[0];
    if (parsed.has("dir")) return UsageError("verify", "FILE.igc and --dir exclude each other");
    if (!IsIgcFileName(file)) return UsageError("verify", "FILE must be an IGC file (.igc)");
    long _timezone = 0;
    std::string error;
    if (!TimezoneOption(parsed, _timezone, error)) return UsageError("verify", error);
    const Rederivation rederived = RederiveIgcFile(file, _timezone, std::time(nullptr));
    std::printf("%s\n", SafeDisplayText(rederived.text).c_str());
    return rederived.matches ? kExitOk : kExitFailure;
  }
  if (parsed.has("tz-offset")) return UsageError("verify", "--tz-offset goes with FILE.igc");
  const FolderCheck check = CheckDataFolder(parsed.has("dir") ? parsed.options.at("dir") : "");
  for (const std::string& problem : check.problems) std::printf("%s\n", SafeDisplayText(problem).c_str());
  std::printf("%s\n", check.Summary().c_str());
  return check.ok() ? kExitOk : kExitFailure;
}

}  // namespace orvald::cli
