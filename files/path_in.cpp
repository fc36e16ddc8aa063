#include "files/path_in.h"

namespace orvald {

std::string PathIn(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

}  // namespace orvald
