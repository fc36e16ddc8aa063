#include "cli/args.h"

#include <cerrno>
#include <cstdlib>

#include "tracklog/time_basis.h"
#include "tracklog/track_table.h"

namespace orvald::cli {

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& known,
                     const std::set<std::string>& switches) {
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (switches.count(name) != 0 && equals == std::string::npos) {
      parsed.options[name] = "";
      parsed.given.emplace_back(name, "");
      continue;
    }
    if (known.count(name) == 0) {
      parsed.error = switches.count(name) != 0 ? "--" + name + " takes no value" : "unknown option --" + name;
      return parsed;
    }
    if (equals != std::string::npos) {
      parsed.options[name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed.options[name] = args[++i];
    } else {
      parsed.error = "--" + name + " needs a value";
      return parsed;
    }
    parsed.given.emplace_back(name, parsed.options[name]);
  }
  return parsed;
}

int ParsedArgs::count(const std::string& name) const {
  int n = 0;
  for (const auto& option : given) n += option.first == name ? 1 : 0;
  return n;
}

bool ParseInteger(const std::string& text, long min, long max, long& value) {
  if (text.empty() || text.find_first_not_of("+-0123456789") != std::string::npos) return false;
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size() || parsed < min || parsed > max) return false;
  value = parsed;
  return true;
}

bool ParseSegmentRange(const std::string& text, long& first, long& last) {
  const size_t dash = text.find('-');
  const std::string firstText = text.substr(0, dash);
  const std::string lastText = dash == std::string::npos ? firstText : text.substr(dash + 1);
  if (firstText.find('+') != std::string::npos || lastText.find_first_of("+-") != std::string::npos) return false;
  return ParseInteger(firstText, 1, kMaxSegments, first) && ParseInteger(lastText, 1, kMaxSegments, last) &&
         first <= last;
}

bool TimezoneOption(const ParsedArgs& parsed, long& offset, std::string& error) {
  if (!parsed.has("tz-offset")) {
    offset = SystemTimezoneOffset();
    return true;
  }
  if (!ParseInteger(parsed.options.at("tz-offset"), -86400, 86400, offset)) {
    error = "--tz-offset takes whole seconds west of UTC, -86400 to 86400";
    return false;
  }
  return true;
}

}  // namespace orvald::cli
