#include "link/sysfs_usb_adapter.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <vector>

#include "link/tty_port.h"

namespace orvald {

namespace {

// File times come from a coarse clock; two changes within one of its ticks
// can carry the same time. A folder changed this recently is scanned again
// on every call until its time has settled.
constexpr long kSettleNanoseconds = 50'000'000;

// How far up from a terminal to look for the USB device that owns it.
constexpr int kMaxParentLevels = 8;

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return {};
  return resolved;
}

std::string ParentOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

long long NanosecondsBetween(const timespec& earlier, const timespec& later) {
  return (static_cast<long long>(later.tv_sec) - earlier.tv_sec) * 1'000'000'000LL +
         (static_cast<long long>(later.tv_nsec) - earlier.tv_nsec);
}

}  // namespace

std::string SysfsFolderAbove(const std::string& sysfsRoot, const std::string& ttyName, const std::string& fileName) {
  const std::string root = RealPath(sysfsRoot);
  std::string folder = RealPath(sysfsRoot + "/class/tty/" + ttyName + "/device");
  if (folder.empty() || root.empty()) return {};
  for (int level = 0; level < kMaxParentLevels && folder.size() > root.size() && folder.rfind(root, 0) == 0;
       ++level) {
    if (::access((folder + "/" + fileName).c_str(), F_OK) == 0) return folder;
    folder = ParentOf(folder);
  }
  return {};
}

std::string SysfsAttribute(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) return {};
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
  return line;
}

bool SysfsUsbAdapter::FolderStamp::operator==(const FolderStamp& other) const {
  return present == other.present && device == other.device && inode == other.inode && links == other.links &&
         SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

SysfsUsbAdapter::SysfsUsbAdapter(std::string sysfsRoot, std::string devDir, std::string product)
    : sysfsRoot_(std::move(sysfsRoot)), devDir_(std::move(devDir)), product_(std::move(product)) {
  ttyClassDir_ = sysfsRoot_ + "/class/tty";
}

SysfsUsbAdapter::~SysfsUsbAdapter() { Close(); }

SysfsUsbAdapter::FolderStamp SysfsUsbAdapter::StampOf(const std::string& folder) {
  FolderStamp stamp;
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) return stamp;
  stamp.present = true;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.links = info.st_nlink;
  stamp.modified = info.st_mtim;
  stamp.changed = info.st_ctim;
  return stamp;
}

bool SysfsUsbAdapter::RecentlyChanged(const FolderStamp& stamp) {
  if (!stamp.present) return false;
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  const timespec& latest = NanosecondsBetween(stamp.modified, stamp.changed) > 0 ? stamp.changed : stamp.modified;
  return NanosecondsBetween(latest, now) < kSettleNanoseconds;
}

std::string SysfsUsbAdapter::FindDevicePath() {
  std::array<FolderStamp, 2> stamps{StampOf(ttyClassDir_), StampOf(devDir_)};
  if (cacheValid_ && stamps == cachedStamps_) return cachedPath_;
  cachedPath_ = Scan();
  cachedStamps_ = stamps;
  cacheValid_ = !RecentlyChanged(stamps[0]) && !RecentlyChanged(stamps[1]);
  return cachedPath_;
}

std::string SysfsUsbAdapter::ProductOf(const std::string& ttyName) const {
  const std::string folder = SysfsFolderAbove(sysfsRoot_, ttyName, "product");
  return folder.empty() ? std::string() : SysfsAttribute(folder + "/product");
}

std::string SysfsUsbAdapter::Scan() const {
  DIR* folder = ::opendir(ttyClassDir_.c_str());
  if (folder == nullptr) return {};
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(folder)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    names.push_back(std::move(name));
  }
  ::closedir(folder);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (ProductOf(name) != product_) continue;
    std::string node = devDir_ + "/" + name;
    if (::access(node.c_str(), F_OK) == 0) return node;
  }
  return {};
}

bool SysfsUsbAdapter::Open() {
  Close();
  std::string path = FindDevicePath();
  if (path.empty()) return false;
  int error = 0;
  fd_ = tty::OpenExclusive(path, error);
  if (fd_ < 0 || ::tcgetattr(fd_, &settings_) != 0) {
    Close();
    cacheValid_ = false;  // gone or held elsewhere: look again next time
    return false;
  }
  tty::MakeRawEightNOne(settings_);
  ::cfsetispeed(&settings_, B115200);
  ::cfsetospeed(&settings_, B115200);
  if (::tcsetattr(fd_, TCSANOW, &settings_) != 0) {
    Close();
    return false;
  }
  tty::DropModemLines(fd_);
  tty::RequestLowLatency(fd_);
  broken_ = false;
  return true;
}

void SysfsUsbAdapter::Close() {
  tty::CloseExclusive(fd_);
  fd_ = -1;
}

void SysfsUsbAdapter::Broke(LineStatus status) {
  const int error = errno;
  if (broken_) return;
  broken_ = true;
  // An unplugged adapter fails its calls with EIO before a health check
  // has looked: that is the hang-up, not a faulty adapter.
  if (status == LineStatus::kIoError && tty::HungUp(fd_)) status = LineStatus::kHangUp;
  fault_ = {status, status == LineStatus::kIoError ? error : 0};
}

bool SysfsUsbAdapter::Healthy() {
  if (fd_ < 0 || broken_) return false;
  if (tty::HungUp(fd_)) Broke(LineStatus::kHangUp);
  return !broken_;
}

bool SysfsUsbAdapter::SetRate(uint32_t bitsPerSecond) {
  auto speed = tty::SpeedFor(bitsPerSecond);
  if (fd_ < 0 || !speed) return false;
  if (::cfgetospeed(&settings_) == *speed && ::cfgetispeed(&settings_) == *speed) return true;
  ::cfsetispeed(&settings_, *speed);
  ::cfsetospeed(&settings_, *speed);
  return ::tcsetattr(fd_, TCSANOW, &settings_) == 0;
}

bool SysfsUsbAdapter::WriteAll(const uint8_t* bytes, size_t count) {
  if (fd_ < 0) return false;
  if (!tty::WriteAll(fd_, bytes, count)) Broke(LineStatus::kIoError);
  return !broken_;
}

long SysfsUsbAdapter::BytesWaiting() {
  if (fd_ < 0 || broken_) return -1;
  long waiting = tty::BytesWaiting(fd_);
  if (waiting < 0) Broke(LineStatus::kIoError);
  return waiting;
}

uint32_t SysfsUsbAdapter::LineRate() {
  termios now{};
  if (fd_ < 0 || ::tcgetattr(fd_, &now) != 0) return 0;
  return tty::RateOf(now);
}

size_t SysfsUsbAdapter::ReadInto(uint8_t* destination, size_t count) {
  if (fd_ < 0) return 0;
  long got = tty::ReadWaiting(fd_, destination, count);
  if (got < 0) {
    Broke(LineStatus::kIoError);
    return 0;
  }
  return static_cast<size_t>(got);
}

}  // namespace orvald
