#include "logger/erase.h"

#include "tracklog/safe_text.h"

#include "link/exchange.h"
#include "logger/commands.h"
#include "tracklog/raw_image.h"

namespace orvald {

namespace {

// Every block header read and none in use with data. A header that cannot
// be read leaves the memory in doubt, so the answer is no.
bool MemoryReadsEmpty(Link& link, ReplyOrder& order) {
  for (int block = 0; block < kBlockCount; ++block) {
    BlockHeader header;
    if (ReadLoggerMemory(link, order, header.data(), kBlockHeaderSize, block, 0) != kBlockHeaderSize) return false;
    if (ParseBlockHeader(header.data()).used()) return false;
  }
  return true;
}

}  // namespace

std::array<uint8_t, kEraseRequestSize> EraseRequest() {
  std::array<uint8_t, kEraseRequestSize> request{0xB1, 0x46, 0x20, 0x80, 0x00, 0x80, 0x00, 0x21, 0x08, 0x21, 0x08};
  for (size_t i = 11; i < request.size(); i += 2) {
    request[i] = 0x10;
    request[i + 1] = 0x12;
  }
  return request;
}

std::string EraseQuestion(const std::string& serialText, const std::string& portName) {
  const std::string logger = serialText.empty() ? "the logger" : "logger " + SafeDisplayText(serialText);
  return "Erase all flights in " + logger + " on " + portName + "?";
}

EraseOutcome EraseLogger(Link& link, ReplyOrder& order, Prompts& prompts, const std::string& question) {
  if (prompts.Ask(kEraseCaption, question, PromptButtons::kOkCancel, PromptIcon::kQuestion) != PromptAnswer::kOk) {
    return EraseOutcome::kCancelled;
  }
  // An exchange that another one is running under would be refused; the
  // memory cannot be asked either.
  const bool lineFree = !link.Exchanging();
  const auto request = EraseRequest();
  uint8_t reply[kReceiveAreaSize];
  ExchangeOutcome outcome;
  const int length = ExchangeFrame(link, request.data(), static_cast<uint8_t>(request.size()), reply, &outcome);
  // Only B1 46 is the logger's agreement. Any other reply, or none, leaves
  // the data in doubt: the memory itself then says whether it was wiped.
  if (length == 2 && reply[0] == 0xB1 && reply[1] == 0x46) return EraseOutcome::kErased;
  if (lineFree) {
    // The agreement may still be on its way; the header reads first put the
    // replies back in order, so it is never taken for a header.
    if (!outcome.wholeFrame) order.MarkInDoubt();
    if (MemoryReadsEmpty(link, order)) return EraseOutcome::kErased;
  }
  prompts.Ask(kEraseCaption, kEraseFailed, PromptButtons::kOk, PromptIcon::kNone);
  return EraseOutcome::kNotErased;
}

}  // namespace orvald
