#pragma once
// SHA-256 digests as `sha256sum` prints them: 64 lowercase hex digits.

#include <string>
#include <string_view>

#include "files/system_error.h"

namespace orvald {

inline constexpr size_t kSha256HexSize = 64;

std::string Sha256Hex(std::string_view bytes);

struct FileDigest {
  bool ok = false;
  std::string hex;    // when ok
  SystemError error;  // when not
};

// The digest of a regular file's whole contents, read in pieces.
FileDigest Sha256OfFile(const std::string& path);

// 64 lowercase hex digits.
bool IsSha256Hex(std::string_view text);

}  // namespace orvald
