#include "program/conventions.h"

#include <cstdio>

namespace orvald::program {

std::string VersionLine(const std::string& program) {
  return program + " " + ORVALD_VERSION + " (" + ORVALD_BUILD_TYPE + ")";
}

std::optional<int> AnswerHelpOrVersion(const std::string& program, const std::vector<std::string>& args,
                                       const std::string& usage) {
  if (args.size() != 1) return std::nullopt;
  if (args[0] == "--help") {
    std::fputs(usage.c_str(), stdout);
  } else if (args[0] == "--version") {
    std::printf("%s\n", VersionLine(program).c_str());
  } else {
    return std::nullopt;
  }
  return 0;
}

bool RefuseOutputName(const std::string& program, const std::string& path) {
  if (path.empty() || path[0] != '-') return false;
  std::fprintf(stderr, "%s: refusing to write '%s': an output name must not start with '-' (write ./%s for such a file)\n",
               program.c_str(), path.c_str(), path.c_str());
  return true;
}

}  // namespace orvald::program
