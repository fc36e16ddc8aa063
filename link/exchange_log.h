#pragma once
// A hex log of every exchange with the logger (request, reply, timing), so a
// download that failed at a competition can be diagnosed afterwards, and a
// logger simulator can answer the same requests with the same replies.
//
// One line per exchange, fields separated by TABs:
//   at_ms  elapsed_ms  line  rate  request_hex  received_hex  received_count  result
// at_ms counts from the first logged exchange; line is "serial" or "usb";
// rate is the rate the line really ran at, in bit/s; the hex fields are
// bytes as two upper-case digits separated by spaces (received_hex is empty
// when nothing came, and holds every byte that arrived, also those the
// exchange dropped); received_count counts them; result is what the exchange
// returned. Lines starting with '#' are notes.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link.h"

namespace orvald {

// The environment variable that names an exchange log for the window program.
inline constexpr const char* kExchangeLogVariable = "ORVALD_TRANSCRIPT";

struct LoggedExchange {
  int64_t atMs = 0;
  int64_t elapsedMs = 0;
  bool viaUsbAdapter = false;
  uint32_t rate = 0;
  std::vector<uint8_t> request;
  std::vector<uint8_t> received;
  size_t receivedCount = 0;
  int result = 0;
};

std::string FormatExchangeLine(const LoggedExchange& exchange);
// False for notes, blank lines and lines that do not follow the layout.
bool ParseExchangeLine(std::string_view line, LoggedExchange& exchange);

struct ExchangeLogRead {
  bool ok = false;
  std::vector<LoggedExchange> exchanges;
  std::string error;  // "<path>: <reason>" when not ok
};
ExchangeLogRead ReadExchangeLog(const std::string& path);

// Writes the log as the exchanges happen; each line is flushed at once, so
// a crash or a pulled plug loses at most the exchange in progress.
class ExchangeLog {
 public:
  ExchangeLog() = default;
  ~ExchangeLog();
  ExchangeLog(const ExchangeLog&) = delete;
  ExchangeLog& operator=(const ExchangeLog&) = delete;

  // Opens the file for appending (made when missing); every opening starts
  // with a note line, so earlier logs in it stay as they were. False with
  // the reason in `error`.
  bool Open(const std::string& path, std::string& error);
  bool isOpen() const { return file_ != nullptr; }
  // Logs every exchange `link` makes from now on. The log must outlive the
  // link's use of it.
  void Attach(Link& link);
  // The first failed write is kept; later lines are not attempted.
  bool writeFailed() const { return writeFailed_; }

  void Write(const ExchangeRecord& record, uint32_t rate);

  // Told once, when a line could not be written (the disk filled, say).
  std::function<void(const std::string&)> onWriteFailure;

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  bool started_ = false;
  int64_t startMs_ = 0;
  bool writeFailed_ = false;
};

}  // namespace orvald
