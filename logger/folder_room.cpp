#include "logger/folder_room.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvald {

std::string CheckFolderRoom(const std::string& folder, uint64_t neededBytes) {
  const std::string path = folder.empty() ? "." : folder;
  // Making a file needs both: write to add the name, search to reach it.
  if (access(path.c_str(), W_OK | X_OK) != 0) return path + ": " + std::strerror(errno);
  struct statvfs room {};
  if (statvfs(path.c_str(), &room) != 0) return path + ": " + std::strerror(errno);
  // f_bavail, not f_bfree: the blocks kept for root are not this desk's.
  const uint64_t freeBytes = static_cast<uint64_t>(room.f_bavail) * room.f_frsize;
  if (freeBytes >= neededBytes) return {};
  return path + ": " + std::to_string(freeBytes) + " bytes free, a download needs " + std::to_string(neededBytes);
}

}  // namespace orvald
