#pragma once
// The adapters plugged in, as the device links in one folder
// (/dev/serial/by-path: one link per physical socket). inotify says when a
// link appears, goes or is pointed at another device, and only then is the
// folder read again, so nothing polls it. udev makes the folder with the
// first adapter and removes it with the last: while it is missing, its
// nearest existing parent is watched until it comes back.

#include <map>
#include <string>
#include <vector>

namespace orvald {

inline constexpr const char* kDeviceLinkFolder = "/dev/serial/by-path";

struct DeviceLink {
  std::string name;    // in the folder: "pci-0000:00:14.0-usb-0:1.3:1.0-port0"
  std::string path;    // folder/name
  std::string device;  // the character device it leads to: "/dev/ttyUSB3"
  bool operator==(const DeviceLink&) const = default;
};

struct DeviceLinkEvent {
  enum class Kind { kAppeared, kGone };
  Kind kind;
  DeviceLink link;
};

class DeviceLinkWatcher {
 public:
  explicit DeviceLinkWatcher(std::string folder = kDeviceLinkFolder);
  ~DeviceLinkWatcher();
  DeviceLinkWatcher(const DeviceLinkWatcher&) = delete;
  DeviceLinkWatcher& operator=(const DeviceLinkWatcher&) = delete;

  // False with the reason when the system gives no inotify descriptor.
  bool Start(std::string& error);
  // Readable when the folder (or the parent awaiting it) changed; poll it
  // beside whatever else the caller waits for.
  int fd() const { return inotify_; }
  // What changed since the last call; the first call gives every link that
  // is there. Never blocks. A retargeted link is gone, then appeared.
  std::vector<DeviceLinkEvent> TakeEvents();

 private:
  void Arm();
  std::map<std::string, DeviceLink> ReadFolder() const;

  std::string folder_;
  int inotify_ = -1;
  int watch_ = -1;
  bool watchingFolder_ = false;  // or its nearest parent, awaiting it
  std::map<std::string, DeviceLink> links_;  // by name
};

// How the messages name an adapter: "ttyUSB3 (usb-0:1.3:1.0)", the device
// and the socket its link names; a link of another kind keeps its name.
std::string AdapterText(const DeviceLink& link);

// The socket, for a row: "USB hub port 1.3" (a port of a hub), "USB port 2"
// (a port of the computer), or the link's name when it names no USB socket.
std::string SocketCaption(const std::string& linkName);

}  // namespace orvald
