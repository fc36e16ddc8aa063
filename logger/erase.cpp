#include "logger/erase.h"

#include "link/exchange.h"

namespace orvald {

std::array<uint8_t, kEraseRequestSize> EraseRequest() {
  std::array<uint8_t, kEraseRequestSize> request{0xB1, 0x46, 0x20, 0x80, 0x00, 0x80, 0x00, 0x21, 0x08, 0x21, 0x08};
  for (size_t i = 11; i < request.size(); i += 2) {
    request[i] = 0x10;
    request[i + 1] = 0x12;
  }
  return request;
}

EraseOutcome EraseLogger(Link& link, Prompts& prompts) {
  if (prompts.Ask(kEraseCaption, kEraseQuestion, PromptButtons::kOkCancel, PromptIcon::kQuestion) != PromptAnswer::kOk) {
    return EraseOutcome::kCancelled;
  }
  const auto request = EraseRequest();
  uint8_t reply[256];
  const int length = ExchangeFrame(link, request.data(), static_cast<uint8_t>(request.size()), reply);
  // Only B1 46 is the logger's agreement; any other reply (or none, or an
  // exchange refused because another one is running) leaves the data in doubt.
  if (length == 2 && reply[0] == 0xB1 && reply[1] == 0x46) return EraseOutcome::kErased;
  prompts.Ask(kEraseCaption, kEraseFailed, PromptButtons::kOk, PromptIcon::kNone);
  return EraseOutcome::kNotErased;
}

}  // namespace orvald
