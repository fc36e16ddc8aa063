#pragma once
// Puts finished content into a directory under the first of several names that
// is not taken, never replacing an existing file and never leaving a partial
// file under a final name, even when the process dies half way.

#include <string>
#include <vector>

namespace orvald {

enum class NewFileStatus { Written, NoFreeName, CannotCreate, WriteFailed };

struct NewFileResult {
  NewFileStatus status = NewFileStatus::NoFreeName;
  std::string fileName;  // the name taken (or, on failure, the name being tried)
  std::string error;     // operator-readable reason when not written
};

// A name is taken when anything of that name exists, readable or not.
// The content goes to a hidden temporary file first, is synced, and is then
// hard-linked to the first free candidate; a link never replaces a file.
NewFileResult WriteNewFile(const std::string& directory, const std::vector<std::string>& candidateNames,
                           const std::string& content);

}  // namespace orvald
