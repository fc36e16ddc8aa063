#include "app/app_settings.h"

#include <QDir>
#include <QSettings>
#include <QStringList>
#include <algorithm>

namespace orvald {

std::unique_ptr<QSettings> SettingsLocation::Open() const {
  if (!filePath.isEmpty()) return std::make_unique<QSettings>(filePath, QSettings::IniFormat);
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "orvald", "orvald");
}

namespace {

void WriteValue(const SettingsLocation& location, const char* name, const QVariant& value) {
  auto settings = location.Open();
  settings->beginGroup(kSettingsGroup);
  settings->setValue(name, value);
  settings->endGroup();
  settings->sync();  // failures to write are not reported
}

void WriteDefaultDataDir(const SettingsLocation& location, const std::string& defaultDataDir) {
  QDir().mkpath(QString::fromStdString(defaultDataDir));
  WriteValue(location, kDataDirValue, QString::fromStdString(defaultDataDir));
}

void WriteBothDefaults(const SettingsLocation& location, const std::string& defaultDataDir) {
  WriteValue(location, kComPortValue, 1);
  WriteDefaultDataDir(location, defaultDataDir);
}

// A text value: anything the store holds as a single text. A list (an INI
// value with commas) is of the wrong type.
bool ReadText(const QVariant& value, QString& text) {
  if (!value.isValid()) {
    text.clear();  // absent reads as empty
    return true;
  }
  if (value.typeId() == QMetaType::QStringList) return false;
  if (!value.canConvert<QString>()) return false;
  text = value.toString();
  return true;
}

}  // namespace

StartupSettings ReadStartupSettings(const SettingsLocation& location, const std::string& defaultDataDir) {
  StartupSettings result;
  QVariant portValue;
  QVariant dirValue;
  {
    auto settings = location.Open();
    settings->beginGroup(kSettingsGroup);
    portValue = settings->value(kComPortValue);
    dirValue = settings->value(kDataDirValue);
  }

  bool portOk = false;
  const int port = portValue.isValid() && portValue.typeId() != QMetaType::QStringList ? portValue.toInt(&portOk) : 0;
  if (!portOk) {
    WriteBothDefaults(location, defaultDataDir);
    return result;
  }
  result.portNo = port;
  if (result.portNo < 1) {
    result.portNo = 1;
    WriteValue(location, kComPortValue, 1);
  }

  QString dir;
  if (!ReadText(dirValue, dir)) {
    WriteBothDefaults(location, defaultDataDir);
    return result;
  }
  if (dir.isEmpty()) {
    result.dataDir = defaultDataDir;
    WriteDefaultDataDir(location, defaultDataDir);
  } else {
    result.dataDir = dir.toStdString();
  }
  return result;
}

void WritePortSetting(const SettingsLocation& location, int portNo) { WriteValue(location, kComPortValue, portNo); }

void WriteDataDirSetting(const SettingsLocation& location, const std::string& dataDir) {
  WriteValue(location, kDataDirValue, QString::fromStdString(dataDir));
}

bool ReadAlsoKmlGpxSetting(const SettingsLocation& location) {
  auto settings = location.Open();
  settings->beginGroup(kSettingsGroup);
  return settings->value(kAlsoKmlGpxValue, 0).toInt() != 0;
}

void WriteAlsoKmlGpxSetting(const SettingsLocation& location, bool also) {
  WriteValue(location, kAlsoKmlGpxValue, also ? 1 : 0);
}

std::string ReadTaskSetting(const SettingsLocation& location) {
  auto settings = location.Open();
  settings->beginGroup(kSettingsGroup);
  return settings->value(kTaskValue, QString()).toString().toStdString();
}

void WriteTaskSetting(const SettingsLocation& location, const std::string& task) {
  WriteValue(location, kTaskValue, QString::fromStdString(task));
}

bool ReadAutoSaveSetting(const SettingsLocation& location) {
  auto settings = location.Open();
  settings->beginGroup(kSettingsGroup);
  return settings->value(kAutoSaveValue, 1).toInt() != 0;
}

void WriteAutoSaveSetting(const SettingsLocation& location, bool autoSave) {
  WriteValue(location, kAutoSaveValue, autoSave ? 1 : 0);
}

bool ReadAutoStationsSetting(const SettingsLocation& location) {
  auto settings = location.Open();
  settings->beginGroup(kSettingsGroup);
  return settings->value(kAutoStationsValue, 0).toInt() != 0;
}

void WriteAutoStationsSetting(const SettingsLocation& location, bool automatic) {
  WriteValue(location, kAutoStationsValue, automatic ? 1 : 0);
}

std::vector<int> ReadStationsSetting(const SettingsLocation& location) {
  auto settings = location.Open();
  settings->beginGroup(kSettingsGroup);
  std::vector<int> portNos;
  for (const QString& name : settings->value(kStationsValue).toStringList()) {
    const std::string path = DefaultPortPath(name.trimmed().toStdString());
    if (path.empty()) continue;
    const int portNo = name.trimmed().mid(3).toInt();
    if (portNo >= 1 && portNo <= kPortCount && std::find(portNos.begin(), portNos.end(), portNo) == portNos.end()) {
      portNos.push_back(portNo);
    }
  }
  return portNos;
}

void WriteStationsSetting(const SettingsLocation& location, const std::vector<int>& portNos) {
  QStringList names;
  for (int portNo : portNos) names << QString::fromStdString(PortName(portNo));
  WriteValue(location, kStationsValue, names);
}

uint32_t ReadLineRateSetting(const SettingsLocation& location) {
  auto settings = location.Open();
  settings->beginGroup(kSettingsGroup);
  return settings->value(kLineRateValue, 57600).toUInt() == 115200 ? 115200 : 57600;
}

void WriteLineRateSetting(const SettingsLocation& location, uint32_t rate) {
  WriteValue(location, kLineRateValue, static_cast<int>(rate));
}

std::string DefaultDataDirectory() { return QDir::home().filePath("ORVALD").toStdString(); }

PortMap ReadPortMap(const SettingsLocation& location) {
  PortMap map;
  auto settings = location.Open();
  settings->beginGroup(kPortsGroup);
  for (int n = 1; n <= kPortCount; ++n) {
    const std::string name = PortName(n);
    const QVariant value = settings->value(QString::fromStdString(name));
    map[n - 1] = value.isValid() ? value.toString().toStdString() : DefaultPortPath(name);
  }
  return map;
}

PortResolver MakePortResolver(PortMap map) {
  return [map = std::move(map)](const std::string& portName) -> std::string {
    for (int n = 1; n <= kPortCount; ++n) {
      if (portName == PortName(n)) return map[n - 1];
    }
    return DefaultPortPath(portName);  // a port beyond the list, e.g. COM_PORT=12
  };
}

}  // namespace orvald
