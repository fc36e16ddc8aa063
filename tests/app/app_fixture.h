#pragma once
// A window under test: its own settings file, data folders and pinned clock in
// a temporary directory, scripted prompts, and the working directory put back
// afterwards (the window changes it, as it must).

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app_environment.h"
#include "app/find_control.h"
#include "app/main_window.h"
#include "scripted_prompts.h"
#include "tracklog/fix_encoder.h"
#include "tracklog/raw_image.h"

namespace orvald::testing {

// 2026-03-14 10:00:00 UTC, the moment every test lives in.
inline constexpr std::time_t kTestNow = 1773482400;

class AppFixture {
 public:
  AppFixture() : originalCwd_(QDir::currentPath()) {}
  ~AppFixture() { QDir::setCurrent(originalCwd_); }

  QString path(const QString& name) const { return root_.filePath(name); }
  std::string spath(const QString& name) const { return path(name).toStdString(); }
  QString settingsFile() const { return path("settings/orvald.ini"); }
  std::string defaultDataDir() const { return spath("home/ORVALD"); }
  QString originalCwd() const { return originalCwd_; }

  AppEnvironment Environment() {
    AppEnvironment env;
    env.prompts = &prompts;
    env.settings.filePath = settingsFile();
    env.defaultDataDir = defaultDataDir();
    env.clock = [] { return kTestNow; };
    env._timezone = 0;
    env.stationFirstPollMs = 0;
    env.localNow = [] {
      std::tm t{};
      t.tm_year = 126;
      t.tm_mon = 2;
      t.tm_mday = 14;
      t.tm_hour = 10;
      return t;
    };
    return env;
  }

  std::unique_ptr<TfrmMain> Start() { return Start(Environment()); }
  std::unique_ptr<TfrmMain> Start(AppEnvironment env) {
    auto window = std::make_unique<TfrmMain>(std::move(env));
    Find<QTimer>(window, "Timer1")->stop();  // tests tick by hand
    return window;
  }

  QVariant Setting(const QString& name) const {
    QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings.value(QString("APPLICATIONS/ORVALD/") + name);
  }
  bool HasSetting(const QString& name) const {
    QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings.contains(QString("APPLICATIONS/ORVALD/") + name);
  }
  void SetSetting(const QString& name, const QVariant& value) {
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(name, value);
    settings.sync();
  }
  void WriteSettingsText(const std::string& text) {
    QDir().mkpath(path("settings"));
    std::ofstream(settingsFile().toStdString(), std::ios::binary) << text;
  }

  ScriptedPrompts prompts;

 private:
  QTemporaryDir root_;
  QString originalCwd_;
};

// A run of fixes one second apart; `eventsAt` marks fixes by their place in the run.
struct RunSpec {
  int startHour;
  int startMinute;
  int count;
  std::vector<int> eventsAt;
};

// Writes a raw image holding one segment per run (runs are minutes apart, so
// each gap cuts). Returns false when the file cannot be written.
// A logger whose memory is erased: a download of nothing but the header.
struct ErasedLogger : LoggerCommands {
  int identities = 0;  // the times it was asked who it is
  int ProbeLogger() override { return 1; }
  int ProbeLoggerAt(uint32_t) override { return 1; }
  uint32_t SetLoggerRate(uint32_t rate) override { return rate; }
  std::string QueryIdentity() override { return ++identities, "PK-1"; }
  std::string QueryVersion() override { return "VL  3.1A"; }
  std::function<void()> midway;  // called once, at the first read
  MemoryRead ReadLoggerMemory(uint8_t* to, int count, int, int) override {
    if (midway) std::exchange(midway, nullptr)();
    std::fill_n(to, count, 0xFF);
    return {count, LineStatus::kOk};
  }
};

inline bool WriteRawFile(const std::string& path, const std::vector<RunSpec>& runs,
                         const std::string& serial = "PK-TEST01", const std::string& version = "VL  3.1A") {
  const FileHeader header = BuildFileHeader(serial, version);
  std::vector<uint8_t> bytes(header.begin(), header.end());
  for (const RunSpec& run : runs) {
    for (int i = 0; i < run.count; ++i) {
      RawFix fix;
      fix.year = 2025;
      fix.month = 7;
      fix.day = 21;
      const int seconds = run.startHour * 3600 + run.startMinute * 60 + i;
      fix.hour = seconds / 3600;
      fix.minute = seconds / 60 % 60;
      fix.second = seconds % 60;
      fix.latitudeE5 = 4735012 + i * 10;
      fix.longitudeE5 = 812345 + i * 10;
      fix.altitudeFeet = static_cast<int16_t>(1200 + i);
      for (int e : run.eventsAt) {
        if (e == i) fix.event = 1;
      }
      const auto record = EncodeFixRecord(fix);
      bytes.insert(bytes.end(), record.begin(), record.end());
    }
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace orvald::testing
