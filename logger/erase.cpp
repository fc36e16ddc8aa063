#include "logger/erase.h"

#include "link/exchange.h"

namespace orvald {

namespace {

class TimerHeldOff {
 public:
  explicit TimerHeldOff(const DetectionTimerHook& timer) : timer(timer) {
    if (timer.stop) timer.stop();
  }
  ~TimerHeldOff() {
    if (timer.start) timer.start();
  }

 private:
  const DetectionTimerHook& timer;
};

}  // namespace

std::array<uint8_t, kEraseRequestSize> EraseRequest() {
  std::array<uint8_t, kEraseRequestSize> request{0xB1, 0x46, 0x20, 0x80, 0x00, 0x80, 0x00, 0x21, 0x08, 0x21, 0x08};
  for (size_t i = 11; i < request.size(); i += 2) {
    request[i] = 0x10;
    request[i + 1] = 0x12;
  }
  return request;
}

EraseOutcome EraseLogger(Link& link, Prompts& prompts, const DetectionTimerHook& timer) {
  TimerHeldOff heldOff(timer);
  if (prompts.Ask(kEraseCaption, kEraseQuestion, PromptButtons::OkCancel, PromptIcon::Question) != PromptAnswer::Ok) {
    return EraseOutcome::Cancelled;
  }
  const auto request = EraseRequest();
  uint8_t reply[256];
  const int length = ExchangeFrame(link, request.data(), static_cast<uint8_t>(request.size()), reply);
  // Only B1 46 is the logger's agreement; any other reply (or none, or an
  // exchange refused because another one is running) leaves the data in doubt.
  if (length == 2 && reply[0] == 0xB1 && reply[1] == 0x46) return EraseOutcome::Erased;
  prompts.Ask(kEraseCaption, kEraseFailed, PromptButtons::Ok, PromptIcon::None);
  return EraseOutcome::NotErased;
}

}  // namespace orvald
