#pragma once
// A file's path in a folder, the way every part of the program names the
// files of its data folder.

#include <string>

namespace orvald {

// `name` in `directory`; an empty directory is the working directory.
std::string PathIn(const std::string& directory, const std::string& name);

}  // namespace orvald
