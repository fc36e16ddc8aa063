#pragma once
// Logger > Clear: asks, sends the erase request once at whatever rate the
// link has, and tells the operator when the logger did not agree. The
// detection timer is held off meanwhile so no probe runs in between.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "link/link.h"
#include "logger/prompts.h"

namespace orvald {

inline constexpr char kEraseCaption[] = "Erase Logger";
inline constexpr char kEraseQuestion[] = "Sure you want to delete the logger data?";
inline constexpr char kEraseFailed[] = "Logger not erased!";
inline constexpr size_t kEraseRequestSize = 67;

// The erase command and its pattern, sent as the firmware expects them.
std::array<uint8_t, kEraseRequestSize> EraseRequest();

// Stops and restarts the detection timer (Timer1); either may be empty.
struct DetectionTimerHook {
  std::function<void()> stop;
  std::function<void()> start;
};

enum class EraseOutcome { Erased, Cancelled, NotErased };

EraseOutcome EraseLogger(Link& link, Prompts& prompts, const DetectionTimerHook& timer = {});

}  // namespace orvald
