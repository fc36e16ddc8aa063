#include "link/exchange.h"

#include <algorithm>
#include <cstring>

namespace orvald {

namespace {

class ExchangingFlag {
 public:
  explicit ExchangingFlag(bool& flag) : flag(flag) { flag = true; }
  ~ExchangingFlag() { flag = false; }

 private:
  bool& flag;
};

// Picks the channel for this exchange: the adapter when it opens, otherwise
// the serial port, reopened on the chosen port and rate if it is not healthy.
Channel& ChooseChannel(Link& link, UsbAdapterHandle adapter) {
  if (adapter != nullptr) {
    adapter->SetRate(kUsbAdapterRate);
    return *adapter;
  }
  if (!link.comm.Refresh()) {
    link.comm.Open(link.portNo);
    link.comm.SetBaudRate(link.baudRate);
  }
  return link.comm;
}

// Bytes that came after the receive area was full are read here and dropped.
size_t Discard(Channel& channel, size_t count) {
  uint8_t sink[1024];
  return channel.ReadInto(sink, std::min(count, sizeof sink));
}

// The channel to settle: the adapter when it opens, otherwise the serial
// port as it stands (a port that is not open has nothing to settle).
Channel* ChannelToSettle(Link& link, UsbAdapterHandle adapter) {
  if (adapter != nullptr) return adapter;
  return link.comm.Refresh() ? &link.comm : nullptr;
}

}  // namespace

void SettleLine(Link& link, int quietMs) {
  if (link.exchanging || quietMs <= 0) return;
  ExchangingFlag exchanging(link.exchanging);
  UsbAdapterHandle adapter = OpenUsbAdapter(link.usbAdapter.get());
  if (Channel* channel = ChannelToSettle(link, adapter)) {
    const int64_t startedAt = link.clock();
    int64_t lastByteAt = startedAt;
    for (;;) {
      // Look before deciding the line is quiet: a byte that landed as the
      // quiet time ran out is late all the same.
      const long waiting = channel->BytesWaiting();
      if (waiting < 0) break;
      if (waiting > 0 && Discard(*channel, static_cast<size_t>(waiting)) > 0) {
        lastByteAt = link.clock();
        if (lastByteAt - startedAt >= kSettleLimitMs) break;
        continue;
      }
      const int64_t now = link.clock();
      const int64_t silentFor = now - lastByteAt;
      if (silentFor >= quietMs || now - startedAt >= kSettleLimitMs) break;
      const int64_t left = std::min<int64_t>(quietMs - silentFor, kSettleLimitMs - (now - startedAt));
      link.waiter->Wait(channel->WaitDescriptor(), static_cast<int>(std::max<int64_t>(left, 1)));
    }
  }
  CloseUsbAdapter(adapter);
}

int ExchangeFrame(Link& link, const uint8_t* request, uint8_t count, uint8_t* reply) {
  if (link.exchanging || count == 0 || count > kMaxRequestData) return 0;
  ExchangingFlag exchanging(link.exchanging);

  UsbAdapterHandle adapter = OpenUsbAdapter(link.usbAdapter.get());
  Channel& channel = ChooseChannel(link, adapter);

  uint8_t frame[kMaxRequestData + kFrameOverhead];
  const size_t frameSize = BuildRequestFrame(request, count, frame);
  channel.WriteAll(frame, frameSize);
  const int64_t sentAt = link.clock();

  uint8_t area[kReceiveAreaSize] = {};
  size_t received = 0;
  size_t expected = 5;
  int64_t elapsed = 0;
  for (;;) {
    elapsed = link.clock() - sentAt;
    if (elapsed >= kReplyTimeLimitMs) break;
    const long waiting = channel.BytesWaiting();
    if (waiting > 0) {
      const size_t room = kReceiveAreaSize - std::min(received, kReceiveAreaSize);
      const size_t count = static_cast<size_t>(waiting);
      const size_t got = room > 0 ? channel.ReadInto(area + received, std::min(count, room)) : Discard(channel, count);
      received += got;
      if (received > 2) expected = area[1] + kFrameOverhead;
      if (received >= expected) break;
      if (got > 0) continue;
    }
    int descriptor = channel.WaitDescriptor();
    if (waiting < 0) {
      // A device that hung up or failed ends the wait now; a port that never
      // opened has nothing to watch, so the time limit is simply slept out.
      if (descriptor >= 0) break;
      descriptor = -1;
    }
    link.waiter->Wait(descriptor, static_cast<int>(kReplyTimeLimitMs - elapsed));
  }
  elapsed = link.clock() - sentAt;

  if (received >= kRefusedReceivedCount) {
    // Too long to be a reply: take in what is still waiting so the next
    // exchange does not start in the middle of it.
    for (int pass = 0; pass < 64; ++pass) {
      const long waiting = channel.BytesWaiting();
      if (waiting <= 0 || Discard(channel, static_cast<size_t>(waiting)) == 0) break;
    }
  }
  CloseUsbAdapter(adapter);

  const size_t length = CheckReply(area, received);
  if (length > 0) std::memcpy(reply, area + 2, length);

  if (link.transcript) {
    ExchangeRecord record;
    record.request.assign(frame, frame + frameSize);
    record.received.assign(area, area + std::min(received, kReceiveAreaSize));
    record.receivedCount = received;
    record.viaUsbAdapter = adapter != nullptr;
    record.sentAtMs = sentAt;
    record.elapsedMs = elapsed;
    record.result = static_cast<int>(length);
    link.transcript(record);
  }
  return static_cast<int>(length);
}

}  // namespace orvald
