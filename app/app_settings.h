#pragma once
// The per-user settings: the serial port number and the data directory under
// "APPLICATIONS/ORVALD", and the device path of each port name under "Ports".
// Values are written the moment they change; nothing is written at exit.

#include <QString>
#include <array>
#include <memory>
#include <cstdint>
#include <string>
#include <vector>

#include "link/port_names.h"

class QSettings;

namespace orvald {

inline constexpr const char* kSettingsGroup = "APPLICATIONS/ORVALD";
inline constexpr const char* kComPortValue = "COM_PORT";
inline constexpr const char* kDataDirValue = "DATA_DIR";
inline constexpr const char* kAlsoKmlGpxValue = "ALSO_KML_GPX";
inline constexpr const char* kStationsValue = "STATIONS";
inline constexpr const char* kLineRateValue = "LINE_RATE";
inline constexpr const char* kTaskValue = "TASK";
inline constexpr const char* kAutoSaveValue = "AUTO_SAVE";
inline constexpr const char* kAutoStationsValue = "AUTO_STATIONS";
inline constexpr const char* kPortsGroup = "Ports";
inline constexpr int kPortCount = 9;  // COM1..COM9: the port list offers nine, no more

// Where the settings live: the per-user store of the desktop (empty path), or
// one INI file, which is how tests and the demo keep theirs apart.
struct SettingsLocation {
  QString filePath;
  std::unique_ptr<QSettings> Open() const;
};

struct StartupSettings {
  int portNo = 0;       // 0: nothing usable was read
  std::string dataDir;  // empty: nothing usable was read
};

// Reads COM_PORT and DATA_DIR with the start-up rules: a port below 1 becomes
// 1, an empty directory becomes `defaultDataDir`, and either written back at
// once; a value that cannot be read (missing port, wrong type) writes both
// defaults and keeps, for this run, only what was read before it. The default
// directory is created whenever it is written.
StartupSettings ReadStartupSettings(const SettingsLocation& location, const std::string& defaultDataDir);

void WritePortSetting(const SettingsLocation& location, int portNo);
void WriteDataDirSetting(const SettingsLocation& location, const std::string& dataDir);

// Whether Save also writes the KML and GPX files; off unless set.
bool ReadAlsoKmlGpxSetting(const SettingsLocation& location);
void WriteAlsoKmlGpxSetting(const SettingsLocation& location, bool also);

// The day's task, as last chosen; empty when none was.
std::string ReadTaskSetting(const SettingsLocation& location);
void WriteTaskSetting(const SettingsLocation& location, const std::string& task);
// Whether each download is saved for the day's task at once; on unless set off.
bool ReadAutoSaveSetting(const SettingsLocation& location);
void WriteAutoSaveSetting(const SettingsLocation& location, bool autoSave);

// The extra ports the desk downloads on besides the main one, as port
// numbers in the order they were added; names that are no port are skipped.
std::vector<int> ReadStationsSetting(const SettingsLocation& location);
void WriteStationsSetting(const SettingsLocation& location, const std::vector<int>& portNos);

// Whether every adapter plugged in becomes a station; off unless set.
bool ReadAutoStationsSetting(const SettingsLocation& location);
void WriteAutoStationsSetting(const SettingsLocation& location, bool automatic);

// The rate downloads ask the logger for: 57600 unless 115200 was chosen.
uint32_t ReadLineRateSetting(const SettingsLocation& location);
void WriteLineRateSetting(const SettingsLocation& location, uint32_t rate);

// The per-user folder used when no data directory has been chosen: ~/ORVALD.
std::string DefaultDataDirectory();

// Device path for each of COM1..COM9; a missing value keeps the default
// /dev/ttyUSB0..8, an empty value names no device.
using PortMap = std::array<std::string, kPortCount>;
PortMap ReadPortMap(const SettingsLocation& location);
PortResolver MakePortResolver(PortMap map);

}  // namespace orvald
