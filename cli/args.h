#pragma once
// A small command-line reader: positional arguments, "--name VALUE" (or
// "--name=VALUE") options, and switches ("--name" alone).

#include <map>
#include <set>
#include <string>
#include <vector>

namespace orvald::cli {

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // name without the dashes -> its last value
  // Every option as given, in order, for those that may be repeated.
  std::vector<std::pair<std::string, std::string>> given;
  std::string error;                           // empty when the arguments read cleanly
  bool has(const std::string& name) const { return options.count(name) != 0; }
  int count(const std::string& name) const;
};

// `known` lists the option names (without dashes), `switches` those that take
// no value (has() tells them). "--" ends the options.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& known,
                     const std::set<std::string>& switches = {});

// A whole decimal integer within [min, max], optionally signed; false otherwise.
bool ParseInteger(const std::string& text, long min, long max, long& value);

// "3" or "2-5": grid rows counted from 1, as the Sgm column shows them.
bool ParseSegmentRange(const std::string& text, long& first, long& last);

// The --tz-offset option: seconds west of UTC, at most a day either way.
// Without the option, the system's own offset.
bool TimezoneOption(const ParsedArgs& parsed, long& offset, std::string& error);

}  // namespace orvald::cli
