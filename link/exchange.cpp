#include "link/exchange.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace orvald {

// One use of the line, from choosing the channel to closing the USB adapter.
// The link counts as busy meanwhile, so no second use starts inside it.
class LineUse {
 public:
  explicit LineUse(Link& link)
      : link_(link),
        cancel_(link.cancellation()),
        busy_(link),
        adapter_(link.OpenAdapter()),
        channel_(link.ChannelFor(adapter_)) {}
  ~LineUse() { CloseUsbAdapter(adapter_); }
  LineUse(const LineUse&) = delete;
  LineUse& operator=(const LineUse&) = delete;

  Channel& channel() { return channel_; }
  bool viaAdapter() const { return adapter_ != nullptr; }

  // Sends a whole frame; returns the link-clock time at which its last byte
  // has left the line (a slow line takes a while for a long request).
  int64_t Send(const uint8_t* frame, size_t size) {
    channel_.WriteAll(frame, size);
    return link_.Now() + channel_.UnsentMilliseconds();
  }

  // Sleeps until more of the reply may be in, `leftMs` at most. `waiting`
  // is what the channel last said was waiting, `took` how many bytes the
  // last pass read, `stillDue` how many the reply still lacks by its length
  // byte (0 while that is unknown).
  //
  // Once the length is known, the rest takes a time fixed by the line's
  // rate: the wait sleeps through most of it without waking for each byte,
  // then wakes on arrival for the last of them, so a reply costs a few
  // wake-ups however long it is, and is still taken in as soon as it is
  // whole. Bytes that come later than their time are simply waited for.
  //
  // False when waiting longer cannot help: the channel failed (`waiting` < 0
  // with a descriptor to watch) or hung up. A hang-up ends any wait on the
  // descriptor; the health check that tells it from a signal runs only on a
  // wake-up that brought nothing, never for bytes. A port that never opened
  // has nothing to watch, so its time is simply slept out, unless the
  // download is cancelled meanwhile (then false as well: no reply can come).
  // The waits go through the cancel; whether one ends on it is the
  // exchange's own rule (Cancelled).
  bool WaitForMore(long waiting, size_t took, size_t stillDue, int64_t leftMs) {
    const int descriptor = channel_.WaitDescriptor();
    const int left = static_cast<int>(std::max<int64_t>(leftMs, 1));
    if (waiting < 0) {
      failed_ = true;
      if (descriptor >= 0) return false;
      if (cancel_.SleepUntil(link_.Now() + left)) {
        cancelled_ = true;
        return false;
      }
      return true;
    }
    if (took == 0 && waited_ && !channel_.Healthy()) {
      failed_ = true;
      return false;
    }
    waited_ = true;
    const int sleepMs = took > 0 ? SleepFor(stillDue) : 0;
    if (sleepMs > 0) {
      cancel_.Wait(descriptor, std::min(sleepMs, left), WakeOn::kHangUp);
    } else {
      cancel_.Wait(descriptor, left, WakeOn::kReadable);
    }
    return true;
  }

  // For the waits that a cancel ends (putting the replies back in order):
  // true, and remembered, once the download is cancelled.
  bool Cancelled() {
    cancelled_ = cancelled_ || cancel_.requested();
    return cancelled_;
  }

  // How the use ended when it brought no answer: the channel's own fault
  // when it failed under the wait, kCancelled when a cancel ended it,
  // otherwise `otherwise`.
  void Settle(ExchangeOutcome& outcome, LineStatus otherwise) const {
    outcome.status = cancelled_ ? LineStatus::kCancelled : otherwise;
    outcome.errorNumber = 0;
    if (!failed_) return;
    const ChannelFault fault = channel_.Fault();
    // A channel that cannot say why it failed has failed all the same.
    outcome.status = fault.status == LineStatus::kHangUp ? LineStatus::kHangUp : LineStatus::kIoError;
    outcome.errorNumber = fault.errorNumber;
  }

  void Record(const std::vector<uint8_t>& request, std::vector<uint8_t> received, int64_t sentAt, int64_t elapsed,
              int result) {
    if (!link_.hasTranscript()) return;
    ExchangeRecord record;
    record.request = request;
    record.receivedCount = received.size();
    record.received = std::move(received);
    record.viaUsbAdapter = viaAdapter();
    record.lineRate = channel_.LineRate();
    record.sentAtMs = sentAt;
    record.elapsedMs = elapsed;
    record.result = result;
    link_.Tell(record);
  }

 private:
  // Whole milliseconds to sleep before `bytes` more have come in at the
  // line's real rate (not the rate the commands asked for: a logger that
  // missed a switch talks at the old one), ending early enough that the last
  // of them wakes the wait on arrival; 0 when that is too short to be worth
  // it or the rate is unknown.
  int SleepFor(size_t bytes) {
    constexpr int64_t kEarlyUs = 1000;
    if (bytes == 0) return 0;
    if (rate_ < 0) rate_ = channel_.LineRate();
    if (rate_ == 0) return 0;
    // Ten bits a byte on an 8-N-1 line.
    const int64_t dueUs = static_cast<int64_t>(bytes) * 10 * 1'000'000 / rate_;
    return static_cast<int>(std::max<int64_t>(dueUs - kEarlyUs, 0) / 1000);
  }

  Link& link_;
  Cancellation& cancel_;
  Link::ExchangingGuard busy_;
  UsbAdapterHandle adapter_;
  Channel& channel_;
  int64_t rate_ = -1;  // the line's rate, asked for once per use
  bool waited_ = false;
  bool failed_ = false;     // the channel failed under the wait
  bool cancelled_ = false;  // a cancel ended the wait
};

namespace {

// Reads up to `count` waiting bytes into `destination`, or into a scratch
// area when `destination` is null (bytes that do not fit are dropped). What
// was read is added to `seen` when a transcript wants it.
size_t TakeIn(Channel& channel, uint8_t* destination, size_t count, std::vector<uint8_t>* seen) {
  uint8_t scratch[1024];
  if (destination == nullptr) {
    destination = scratch;
    count = std::min(count, sizeof scratch);
  }
  const size_t got = channel.ReadInto(destination, count);
  if (seen != nullptr) seen->insert(seen->end(), destination, destination + got);
  return got;
}

std::vector<uint8_t> RequestFrame(const uint8_t* request, uint8_t count) {
  std::vector<uint8_t> frame(count + kFrameOverhead);
  BuildRequestFrame(request, count, frame.data());
  return frame;
}

// The data length of a well-formed frame starting at `at` in `bytes` whose
// data `isAnswer` accepts, or -1. Start and end bytes are not examined, as
// for any reply.
int AnswerAt(const std::vector<uint8_t>& bytes, size_t at, const AnswerTest& isAnswer) {
  if (at + 2 > bytes.size()) return -1;
  const size_t length = bytes[at + 1];
  // Longer than any reply the exchange takes: never an answer either.
  if (length == 0 || length > kMaxReplyData || at + length + kFrameOverhead > bytes.size()) return -1;
  uint8_t sum = 0;
  for (size_t i = at + 1; i <= at + length + 2; ++i) sum ^= bytes[i];
  if (sum != 0 || !isAnswer(bytes.data() + at + 2, length)) return -1;
  return static_cast<int>(length);
}

}  // namespace

int ExchangeFrame(Link& link, const uint8_t* request, uint8_t count, uint8_t* reply, ExchangeOutcome* outcome) {
  ExchangeOutcome seen;
  if (outcome != nullptr) *outcome = seen;
  if (link.Exchanging() || count == 0 || count > kMaxRequestData) return 0;
  LineUse use(link);
  Channel& channel = use.channel();

  const std::vector<uint8_t> frame = RequestFrame(request, count);
  const int64_t sentAt = use.Send(frame.data(), frame.size());

  std::vector<uint8_t> everything;
  std::vector<uint8_t>* transcript = link.hasTranscript() ? &everything : nullptr;
  uint8_t area[kReceiveAreaSize] = {};
  size_t received = 0;
  size_t expected = 5;
  int64_t elapsed = 0;
  for (;;) {
    elapsed = link.Now() - sentAt;
    if (elapsed >= kReplyTimeLimitMs) break;
    const long waiting = channel.BytesWaiting();
    size_t got = 0;
    if (waiting > 0) {
      const size_t room = kReceiveAreaSize - std::min(received, kReceiveAreaSize);
      const size_t wanted = static_cast<size_t>(waiting);
      got = TakeIn(channel, room > 0 ? area + received : nullptr, room > 0 ? std::min(wanted, room) : wanted,
                   transcript);
      received += got;
      if (received > 2) expected = area[1] + kFrameOverhead;
      if (received >= expected) break;
    }
    // The length byte tells how much is still to come, before the rule above
    // (which waits for a third byte) takes it into account.
    const size_t announced = received >= 2 ? area[1] + kFrameOverhead : 0;
    const size_t stillDue = announced > received ? announced - received : 0;
    if (!use.WaitForMore(waiting, got, stillDue, kReplyTimeLimitMs - elapsed)) break;
  }
  elapsed = link.Now() - sentAt;

  bool nothingAfter = true;
  if (received >= kRefusedReceivedCount) {
    // Too long to be a reply: take in what is still waiting so the next
    // exchange does not start in the middle of it.
    for (int pass = 0; pass < 64; ++pass) {
      const long waiting = channel.BytesWaiting();
      if (waiting <= 0 || TakeIn(channel, nullptr, static_cast<size_t>(waiting), transcript) == 0) break;
    }
    nothingAfter = false;
  } else if (received >= 2 && received == expected) {
    nothingAfter = channel.BytesWaiting() == 0;
  }

  const size_t length = CheckReply(area, received);
  if (length > 0) std::memcpy(reply, area + 2, length);

  seen.length = static_cast<int>(length);
  seen.receivedCount = received;
  if (received >= 2) seen.announcedLength = area[1];
  seen.wholeFrame = received >= 2 && received == expected && received < kRefusedReceivedCount &&
                    area[received - 1] == kFrameEnd && nothingAfter;
  if (length > 0) {
    seen.status = LineStatus::kOk;
  } else {
    // As many bytes as the length byte announced (or more) and still no
    // frame: the reply itself was bad, not the wait for it.
    use.Settle(seen, received >= expected ? LineStatus::kProtocolError : LineStatus::kTimeout);
  }
  if (outcome != nullptr) *outcome = seen;
  use.Record(frame, std::move(everything), sentAt, elapsed, seen.length);
  return seen.length;
}

int ExchangeUntilAnswer(Link& link, const uint8_t* request, uint8_t count, const AnswerTest& isAnswer, int limitMs,
                        uint8_t* reply, ExchangeOutcome* outcome) {
  ExchangeOutcome seen;
  if (outcome != nullptr) *outcome = seen;
  if (link.Exchanging() || count == 0 || count > kMaxRequestData) return 0;
  LineUse use(link);
  Channel& channel = use.channel();

  const std::vector<uint8_t> frame = RequestFrame(request, count);
  const int64_t sentAt = use.Send(frame.data(), frame.size());

  // Only the tail can still hold the start of an answer; a line that keeps
  // talking is kept to that.
  constexpr size_t kKeep = kReceiveAreaSize;
  constexpr size_t kMaxHeld = 64 * 1024;
  std::vector<uint8_t> everything;
  std::vector<uint8_t>* transcript = link.hasTranscript() ? &everything : nullptr;
  std::vector<uint8_t> held;
  int answer = 0;
  int64_t elapsed = 0;
  for (;;) {
    elapsed = link.Now() - sentAt;
    if (elapsed >= limitMs || use.Cancelled()) break;
    const long waiting = channel.BytesWaiting();
    size_t got = 0;
    if (waiting > 0) {
      const size_t before = held.size();
      held.resize(before + static_cast<size_t>(waiting));
      got = TakeIn(channel, held.data() + before, static_cast<size_t>(waiting), transcript);
      held.resize(before + got);
      // Frames that could not be complete before are looked at again.
      const size_t from = before > kKeep ? before - kKeep : 0;
      for (size_t at = from; at < held.size() && answer == 0; ++at) {
        const int length = AnswerAt(held, at, isAnswer);
        if (length > 0) {
          std::memcpy(reply, held.data() + at + 2, static_cast<size_t>(length));
          answer = length;
        }
      }
      if (answer > 0) break;
      if (held.size() > kMaxHeld) held.erase(held.begin(), held.end() - kKeep);
    }
    // Where an answer starts is not known, so each arrival is looked at.
    if (!use.WaitForMore(waiting, got, 0, limitMs - elapsed)) break;
  }
  elapsed = link.Now() - sentAt;
  seen.length = answer;
  if (answer > 0) {
    seen.status = LineStatus::kOk;
  } else {
    use.Settle(seen, LineStatus::kTimeout);
  }
  if (outcome != nullptr) *outcome = seen;
  use.Record(frame, std::move(everything), sentAt, elapsed, answer);
  return answer;
}

}  // namespace orvald
