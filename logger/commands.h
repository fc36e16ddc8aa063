#pragma once
// The logger's command set over the link: one command, one exchange, except
// the probe (three attempts) and the rate switch (two sends). No messages;
// results are counts, texts and rates.

#include <cstdint>
#include <functional>
#include <string>

#include "link/link.h"
#include "logger/logger_commands.h"
#include "tracklog/raw_image.h"

namespace orvald {

inline constexpr uint8_t kVersionCommand = 0x78;   // "x"
inline constexpr uint8_t kIdentifyCommand = 0x49;  // "I"
inline constexpr uint8_t kRateCommand[2] = {0xC1, 0x41};
inline constexpr uint8_t kMemoryCommand[2] = {0xB1, 0x52};
inline constexpr int kProbeAttempts = 3;
inline constexpr int kMaxMemoryRead = 245;
inline constexpr int kRateSwitchAttempts = 2;
// Marker reads are 1 to kMarkerLengths bytes long, so none shares its length
// with a header (32) or a piece (128), nor with the markers sent just before it.
inline constexpr int kMarkerLengths = 24;
// How long a marker may take: it comes after every late reply still queued.
// A reply later than that is put behind by the next attempt's marker.
inline constexpr int kPutInOrderLimitMs = 1000;

// Whether a reply to an earlier request may still be on its way, as the
// logger's commands judge it. Replies that carry no address (memory reads)
// may only be taken while it is false. It lives as long as the line to the
// logger does: a doubt left by one download (or erase) holds for the next.
class ReplyOrder {
 public:
  bool inDoubt() const { return inDoubt_; }
  void MarkInDoubt() { inDoubt_ = true; }
  void MarkInOrder() { inDoubt_ = false; }
  // A fresh number for each request that puts the replies back in order.
  uint32_t NextMarker() { return marker_++; }

 private:
  bool inDoubt_ = false;
  uint32_t marker_ = 0;
};

// The set-rate code of a line rate; 0 (9600) for every rate not in the table.
uint8_t RateCode(uint32_t bitsPerSecond);

// Three attempts at the detection rate.
int ProbeLogger(Link& link);
// A probe at another line rate, for a logger left at a download rate.
int ProbeLoggerAt(Link& link, uint32_t bitsPerSecond, int attempts);
uint32_t SetLoggerRate(Link& link, ReplyOrder& order, uint32_t bitsPerSecond);
std::string QueryIdentity(Link& link, ReplyOrder& order);
std::string QueryVersion(Link& link, ReplyOrder& order);
// A reply of any other length than count + 2 is a failure, never a copy of
// bytes that did not arrive. After a failure that leaves the replies in doubt
// the next read first puts them back in order (PutRepliesInOrder), and fails
// without asking when that does not work. `status` (when given) says how the
// read ended: kOk, the exchange's own status, kProtocolError for a reply
// that is not this read's answer, kRefused for a read no frame can carry.
int ReadLoggerMemory(Link& link, ReplyOrder& order, uint8_t* destination, int count, int block, int offset,
                     LineStatus* status = nullptr);

// Sends a marker read and drops whatever arrives until its answer: after it,
// no reply to an earlier request is on its way. False when the answer did
// not come within kPutInOrderLimitMs (the replies stay in doubt); `status`
// (when given) says how the exchange ended.
bool PutRepliesInOrder(Link& link, ReplyOrder& order, LineStatus* status = nullptr);

// The command set as the download session sees it, over one link, with
// the order of that link's replies.
class LinkLoggerCommands : public LoggerCommands {
 public:
  explicit LinkLoggerCommands(Link& link) : link_(link) {}
  int ProbeLogger() override { return orvald::ProbeLogger(link_); }
  int ProbeLoggerAt(uint32_t rate) override { return orvald::ProbeLoggerAt(link_, rate, 1); }
  uint32_t SetLoggerRate(uint32_t rate) override { return orvald::SetLoggerRate(link_, order_, rate); }
  std::string QueryIdentity() override { return orvald::QueryIdentity(link_, order_); }
  std::string QueryVersion() override { return orvald::QueryVersion(link_, order_); }
  MemoryRead ReadLoggerMemory(uint8_t* destination, int count, int block, int offset) override {
    MemoryRead read;
    read.count = orvald::ReadLoggerMemory(link_, order_, destination, count, block, offset, &read.status);
    return read;
  }
  std::string LineProblem() override { return link_.PortProblem(); }
  int LineOpens() override { return link_.serialOpens(); }
  void SetCancellation(Cancellation* cancel) override { link_.SetCancellation(cancel); }

  Link& link() { return link_; }
  ReplyOrder& replyOrder() { return order_; }

 private:
  Link& link_;
  ReplyOrder order_;
};

}  // namespace orvald
