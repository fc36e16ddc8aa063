// orvald-cli decode FILE [--tz-offset SECONDS]
// The identity, the point count and the segments grid of a raw file, tab-separated.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/raw_file.h"

namespace orvald::cli {

int RunDecode(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"tz-offset"});
  if (!parsed.error.empty()) return UsageError("decode", parsed.error);
  if (parsed.positional.size() != 1) return UsageError("decode", "expects exactly one FILE");
  long _timezone = 0;
  std::string error;
  if (!TimezoneOption(parsed, _timezone, error)) return UsageError("decode", error);

  std::string text;
  DecodeResult decoded;
  if (!DecodeReport(parsed.positional[0], _timezone, text, error, &decoded)) return Failure(error);
  ReportDecodeNotices(parsed.positional[0], decoded);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitOk;
}

}  // namespace orvald::cli
