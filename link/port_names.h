#pragma once
// Serial ports are chosen by number, as "COMn"; on this platform a resolver
// turns that name into a device path. The application may supply its own
// resolver (kept in the settings); the default follows USB serial cables.

#include <cstdint>
#include <functional>
#include <string>

namespace orvald {

// Maps "COMn" to a device path; an empty path names no port.
using PortResolver = std::function<std::string(const std::string& portName)>;

// "COM" followed by the port number: 3 gives "COM3", 0 gives "COM0".
std::string PortName(int portNo);

// "COMn" -> "/dev/ttyUSB(n-1)" for n >= 1; anything else names no port.
std::string DefaultPortPath(const std::string& portName);

// A resolver that sends every port name to one device (a command-line --port).
PortResolver FixedPortResolver(std::string devicePath);

// Whether two device paths lead to one port: the same device node (also by
// way of a link, such as /dev/serial/by-id), or the same path when either
// does not exist yet.
bool SamePortDevice(const std::string& a, const std::string& b);

}  // namespace orvald
