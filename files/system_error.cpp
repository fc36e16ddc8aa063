#include "files/system_error.h"

#include <cstring>

namespace orvald {

std::string SystemError::Reason() const {
  if (number == kNotRegularFile) return "not a regular file";
  return std::strerror(number);
}

}  // namespace orvald
