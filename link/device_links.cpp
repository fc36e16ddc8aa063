#include "link/device_links.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace orvald {

namespace {

// IN_ATTRIB: udev may retarget a link in place. The folder's own removal
// or rename ends its watch (IN_IGNORED follows), and the parent is taken up.
constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB | IN_DELETE_SELF |
                                   IN_MOVE_SELF | IN_ONLYDIR;
constexpr uint32_t kParentEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// The "0:1.3:1.0" after "usb-" (or "usbv2-", "usbv3-") in a by-path name,
// up to a "-port0" that may follow; empty when the name has none.
std::string UsbSocketPart(const std::string& name) {
  for (size_t at = name.find("usb"); at != std::string::npos; at = name.find("usb", at + 1)) {
    if (at != 0 && name[at - 1] != '-') continue;
    size_t dash = at + 3;
    if (dash < name.size() && name[dash] == 'v') {
      ++dash;
      while (dash < name.size() && std::isdigit(static_cast<unsigned char>(name[dash]))) ++dash;
    }
    if (dash >= name.size() || name[dash] != '-') continue;
    const size_t first = dash + 1;
    const size_t end = name.find("-port", first);
    std::string part = name.substr(first, end == std::string::npos ? std::string::npos : end - first);
    if (part.find(':') == std::string::npos) continue;
    return part;
  }
  return {};
}

}  // namespace

DeviceLinkWatcher::DeviceLinkWatcher(std::string folder) : folder_(std::move(folder)) {
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
}

DeviceLinkWatcher::~DeviceLinkWatcher() {
  if (inotify_ >= 0) ::close(inotify_);
}

bool DeviceLinkWatcher::Start(std::string& error) {
  inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0) {
    error = std::string("can't watch ") + folder_ + ": " + std::strerror(errno);
    return false;
  }
  Arm();
  return true;
}

void DeviceLinkWatcher::Arm() {
  // A parent's watch is let go (its IN_IGNORED then names a watch no longer
  // ours); a folder's watch that ended is gone already.
  if (watch_ >= 0 && !watchingFolder_) ::inotify_rm_watch(inotify_, watch_);
  watch_ = -1;
  // The folder itself, or the nearest parent that exists, for its coming.
  std::filesystem::path at(folder_);
  for (uint32_t events = kFolderEvents; watch_ < 0 && !at.empty(); events = kParentEvents) {
    watch_ = ::inotify_add_watch(inotify_, at.c_str(), events);
    watchingFolder_ = watch_ >= 0 && events == kFolderEvents;
    if (watch_ >= 0 || at == at.parent_path()) break;
    at = at.parent_path();
  }
}

std::map<std::string, DeviceLink> DeviceLinkWatcher::ReadFolder() const {
  std::map<std::string, DeviceLink> found;
  DIR* dir = ::opendir(folder_.c_str());
  if (dir == nullptr) return found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    DeviceLink link{.name = name, .path = folder_ + "/" + name, .device = {}};
    // A link whose device has gone already counts as gone.
    struct stat target {};
    if (::stat(link.path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) continue;
    std::error_code error;
    link.device = std::filesystem::canonical(link.path, error).string();
    if (error) continue;
    found.emplace(name, std::move(link));
  }
  ::closedir(dir);
  return found;
}

std::vector<DeviceLinkEvent> DeviceLinkWatcher::TakeEvents() {
  // Which names changed matters less than what the folder holds now: one
  // read of a folder of a few links settles every event at once, an
  // overflowed queue included.
  alignas(inotify_event) char buffer[4096];
  bool rearm = false;
  for (;;) {
    const ssize_t got = inotify_ >= 0 ? ::read(inotify_, buffer, sizeof buffer) : -1;
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      // Only our own watch counts: its end, or (on a parent) something
      // created there that may be the folder awaited.
      const uint32_t ends = IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF;
      if (event->wd == watch_ && (event->mask & (watchingFolder_ ? ends : ends | IN_CREATE | IN_MOVED_TO)) != 0) {
        rearm = true;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  if (rearm) Arm();

  std::map<std::string, DeviceLink> now = ReadFolder();
  std::vector<DeviceLinkEvent> events;
  for (const auto& [name, link] : links_) {
    const auto still = now.find(name);
    if (still == now.end() || !(still->second == link)) events.push_back({DeviceLinkEvent::Kind::kGone, link});
  }
  for (const auto& [name, link] : now) {
    const auto before = links_.find(name);
    if (before == links_.end() || !(before->second == link)) {
      events.push_back({DeviceLinkEvent::Kind::kAppeared, link});
    }
  }
  links_ = std::move(now);
  return events;
}

std::string AdapterText(const DeviceLink& link) {
  std::string device = link.device;
  if (device.rfind("/dev/", 0) == 0) device.erase(0, 5);
  const std::string socket = UsbSocketPart(link.name);
  return device + " (" + (socket.empty() ? link.name : "usb-" + socket) + ")";
}

std::string SocketCaption(const std::string& linkName) {
  // "0:1.3:1.0": bus, the chain of ports, configuration.interface.
  const std::string socket = UsbSocketPart(linkName);
  const size_t colon = socket.find(':');
  const size_t second = socket.find(':', colon + 1);
  if (socket.empty() || second == std::string::npos || second == colon + 1) return linkName;
  const std::string ports = socket.substr(colon + 1, second - colon - 1);
  return (ports.find('.') != std::string::npos ? "USB hub port " : "USB port ") + ports;
}

}  // namespace orvald
