#pragma once
// Command-line conventions shared by every ORVALD program, so that
// `PROGRAM --help`, `PROGRAM --version` and a mistyped output name behave the
// same whichever program the desk runs.

#include <optional>
#include <string>
#include <vector>

namespace orvald::program {

// A refused output name is a mistake on the command line, and says so with 1.
inline constexpr int kExitRefusedOutput = 1;

// "orvald-cli 1.0 (RelWithDebInfo)": the project version and the build type.
std::string VersionLine(const std::string& program);

// `--help` or `--version` as the only argument: prints `usage` or the version
// line on stdout and gives the exit status 0. Only alone, so that neither is
// taken from an option that wants a value (orvald-sim's --version TEXT) nor
// from an argument meant as a file. Nothing otherwise.
std::optional<int> AnswerHelpOrVersion(const std::string& program, const std::vector<std::string>& args,
                                       const std::string& usage);

// An output name starting with '-' is almost always an option typed in the
// wrong place (`--help` written as a file); such a file is never created.
// True when refused, with the reason already on stderr.
bool RefuseOutputName(const std::string& program, const std::string& path);

}  // namespace orvald::program
