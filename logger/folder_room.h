#pragma once
// Whether a data folder can take a download now: a look at the folder that
// costs no line traffic and writes nothing, made before a logger is read
// into a folder that failed before. Injectable, so the session is tested
// with a fake folder, never with a real full disk.

#include <cstdint>
#include <functional>
#include <string>

namespace orvald {

// Why `folder` (empty: the working directory) cannot take `neededBytes`
// now; empty when it can.
using FolderRoomCheck = std::function<std::string(const std::string& folder, uint64_t neededBytes)>;

// The folder's write permission (access) and its free room for this user (statvfs).
std::string CheckFolderRoom(const std::string& folder, uint64_t neededBytes);

}  // namespace orvald
