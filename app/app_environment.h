#pragma once
// What the window program takes from its surroundings. Every entry has the
// real default; tests and the demo replace the ones they need to pin.

#include <ctime>
#include <functional>
#include <string>

#include "app/app_prompts.h"
#include "app/app_settings.h"
#include "link/port_diagnosis.h"
#include "link/device_links.h"
#include "logger/folder_room.h"
#include "tracklog/time_basis.h"

namespace orvald {

class Link;
class LoggerCommands;
class LoggerLookup;

struct AppEnvironment {
  AppPrompts* prompts = nullptr;  // required: every modal box goes here
  SettingsLocation settings;      // empty path: the per-user store
  std::string defaultDataDir = DefaultDataDirectory();
  std::function<std::time_t()> clock = [] { return std::time(nullptr); };
  long _timezone = SystemTimezoneOffset();  // seconds west of UTC
  std::function<std::tm()> localNow;             // raw file names; empty: the computer's local time

  // The logger side: the process's one link (serial channel, USB adapter,
  // port and rate). Without it no logger ever answers, which is how the window
  // is tested on its own; File > Open still works.
  Link* link = nullptr;
  // Commands other than the link's own (tests that stage a logger's replies).
  LoggerCommands* commands = nullptr;
  // Who flies a logger; none: no logger is known.
  LoggerLookup* lookup = nullptr;
  // How long a station (Logger > Stations) waits before its first detection.
  int stationFirstPollMs = 2000;
  // Where Logger > Check ports looks (a fake tree in tests).
  DiagnosisPlaces portCheckPlaces;
  // Where the adapters' links appear (Stations > Add plugged-in adapters automatically).
  std::string deviceLinkFolder = kDeviceLinkFolder;
  // How the main port looks at a data folder that failed (a fake in tests).
  FolderRoomCheck folderCheck = CheckFolderRoom;
};

}  // namespace orvald
