#pragma once
// A small command-line reader: positional arguments and "--name VALUE"
// (or "--name=VALUE") options, all of which take a value.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace orvald::cli {

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // name without the dashes -> value
  std::string error;                           // empty when the arguments read cleanly
  bool has(const std::string& name) const { return options.count(name) != 0; }
};

// `known` lists the option names (without dashes). "--" ends the options.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& known);

// A whole decimal integer within [min, max], optionally signed; false otherwise.
bool ParseInteger(const std::string& text, long min, long max, long& value);

// The --tz-offset option: seconds west of UTC, at most a day either way.
// Without the option, the system's own offset.
bool TimezoneOption(const ParsedArgs& parsed, long& offset, std::string& error);

}  // namespace orvald::cli
