#pragma once
// Logger > Clear: asks, sends the erase request once at whatever rate the
// link has, and tells the operator when the logger was not erased. The
// caller keeps the detection cycle off meanwhile, as it does around a poll.

#include <array>
#include <cstdint>
#include <string>

#include "link/link.h"
#include "logger/commands.h"
#include "logger/prompts.h"

namespace orvald {

inline constexpr char kEraseCaption[] = "Erase Logger";
inline constexpr char kEraseQuestion[] = "Sure you want to delete the logger data?";
inline constexpr char kEraseFailed[] = "Logger not erased!";
inline constexpr size_t kEraseRequestSize = 67;

// The erase command and its pattern, sent as the firmware expects them.
std::array<uint8_t, kEraseRequestSize> EraseRequest();

enum class EraseOutcome { kErased, kCancelled, kNotErased };

// Erased when the logger agreed, or when its agreement did not come and
// every block header then reads as unused: a busy logger may agree long
// after the exchange gave up, with its memory wiped.
// `question` is what the operator is asked first.
EraseOutcome EraseLogger(Link& link, ReplyOrder& order, Prompts& prompts, const std::string& question = kEraseQuestion);

// "Erase all flights in logger QC555 on COM1?": the question that names
// what is about to go, for a desk with several loggers at hand.
std::string EraseQuestion(const std::string& serialText, const std::string& portName);

}  // namespace orvald
