// Whatever bytes come back, in whatever pieces and at whatever times, an
// exchange returns either 0 or the data of the one well-formed frame at the
// start of what it received, and it gives up within the reply time limit.
// Waiting for an answer among other bytes finds it wherever it is, drops
// everything before it, and gives up within its own limit. The line is the
// tests' in-memory line on a fake clock, so no input ever really sleeps.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "link/exchange.h"
#include "support/fake_line.h"
#include "fuzz/require.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  bool empty() const { return size == 0; }
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
};

// Whether a well-formed frame with the answer's length starts at `at`.
bool FrameAt(const std::vector<uint8_t>& bytes, size_t at, size_t length) {
  if (at + length + orvald::kFrameOverhead > bytes.size() || bytes[at + 1] != length) return false;
  uint8_t sum = 0;
  for (size_t i = at + 1; i <= at + length + 2; ++i) sum ^= bytes[i];
  return sum == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input{data, size};
  orvald::testing::FakeLink fake;
  orvald::testing::FakeLine& line = fake.line;
  orvald::Link& link = fake.link;
  orvald::ExchangeRecord record;
  bool recorded = false;
  link.SetTranscript([&](const orvald::ExchangeRecord& r) {
    record = r;
    recorded = true;
  });

  for (int exchange = 0; exchange < 8 && !input.empty(); ++exchange) {
    // The script of one exchange: its request size, then pieces until an end mark.
    const uint8_t requestSize = static_cast<uint8_t>(input.Byte() % orvald::kMaxRequestData + 1);
    std::vector<uint8_t> request(requestSize, 0x52);
    int64_t at = line.nowMs;
    line.hangUpAtMs = -1;
    line.watchable = true;
    for (int piece = 0; piece < 64 && !input.empty(); ++piece) {
      const uint8_t control = input.Byte();
      const int kind = control >> 6;
      const int amount = control & 0x3F;
      if (kind == 3) break;  // nothing more comes for this request
      if (kind == 2) {       // the line hangs up after `amount` x 8 ms
        line.hangUpAtMs = at + amount * 8;
        line.watchable = (amount & 1) == 0;
        continue;
      }
      if (kind == 1) at += input.Byte() * 2;  // a pause before this piece
      orvald::testing::FakeLine::Piece arriving{at, {}};
      for (int i = 0; i < amount && !input.empty(); ++i) arriving.bytes.push_back(input.Byte());
      // A long piece stands for a flood: repeat it to pass the refusal count.
      if (kind == 1 && amount == 0x3F) {
        const std::vector<uint8_t> once = arriving.bytes;
        for (int i = 0; i < 4; ++i) arriving.bytes.insert(arriving.bytes.end(), once.begin(), once.end());
      }
      line.pending.push_back(std::move(arriving));
    }

    const size_t takenBefore = line.readOffset;
    const int64_t startedAt = line.nowMs;
    std::vector<uint8_t> reply(orvald::kMaxReplyData, 0xA5);
    recorded = false;
    // Odd sizes wait for an answer of a given length among whatever comes;
    // even ones are plain exchanges.
    const bool untilAnswer = (requestSize & 1) != 0;
    const size_t answerLength = 1 + (requestSize >> 1) % 40;
    const int limitMs = untilAnswer ? 1 + requestSize * 6 : orvald::kReplyTimeLimitMs;
    orvald::ExchangeOutcome outcome;
    const int result =
        untilAnswer ? orvald::ExchangeUntilAnswer(
                          link, request.data(), requestSize,
                          [answerLength](const uint8_t*, size_t length) { return length == answerLength; }, limitMs,
                          reply.data())
                    : orvald::ExchangeFrame(link, request.data(), requestSize, reply.data(), &outcome);
    Require(recorded);
    Require(!link.Exchanging());

    // Given up (or done) within the limit, on the fake clock.
    Require(record.elapsedMs >= 0 && record.elapsedMs <= limitMs);
    Require(line.nowMs - startedAt <= limitMs);

    // The record holds every byte taken from the line, in order.
    const size_t taken = line.readOffset - takenBefore;
    Require(record.receivedCount == taken);
    Require(record.received.size() == taken);
    Require(std::equal(record.received.begin(), record.received.end(),
                       line.stream.begin() + static_cast<long>(takenBefore)));
    Require(record.result == result);
    Require(record.request.size() == requestSize + orvald::kFrameOverhead);
    const auto& got = record.received;

    if (untilAnswer) {
      // An answer is a well-formed frame of the wanted length somewhere in
      // what was taken in, and its data is what came back.
      Require(result == 0 || result == static_cast<int>(answerLength));
      if (result > 0) {
        bool found = false;
        for (size_t i = 0; i < got.size() && !found; ++i) {
          found = FrameAt(got, i, answerLength) &&
                  std::equal(reply.begin(), reply.begin() + result, got.begin() + static_cast<long>(i) + 2);
        }
        Require(found);
      }
    } else {
      Require(result >= 0 && result <= static_cast<int>(orvald::kMaxReplyData));
      Require(outcome.length == result && outcome.receivedCount <= taken);
      if (result > 0) {
        // Accepted: the length byte names it, the checksum holds, it is not a flood.
        Require(outcome.receivedCount < orvald::kRefusedReceivedCount);
        Require(got.size() >= static_cast<size_t>(result) + orvald::kFrameOverhead);
        Require(FrameAt(got, 0, static_cast<size_t>(result)));
        Require(std::equal(reply.begin(), reply.begin() + result, got.begin() + 2));
      }
      // A frame called whole is exactly its announced size, and the end byte closes it.
      if (outcome.wholeFrame) {
        Require(outcome.receivedCount == static_cast<size_t>(outcome.announcedLength) + orvald::kFrameOverhead);
        Require(got[outcome.receivedCount - 1] == orvald::kFrameEnd);
      }
    }
    // Whatever did not arrive in time still arrives later, before the next request.
    line.nowMs += 1;
  }
  return 0;
}
