#include "link/exchange_log.h"

#include "link/hex.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

namespace orvald {

namespace {

constexpr int kFieldCount = 8;

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string FormatExchangeLine(const LoggedExchange& exchange) {
  std::ostringstream line;
  line << exchange.atMs << '\t' << exchange.elapsedMs << '\t' << (exchange.viaUsbAdapter ? "usb" : "serial") << '\t'
       << exchange.rate << '\t' << HexBytes(exchange.request) << '\t' << HexBytes(exchange.received) << '\t'
       << exchange.receivedCount << '\t' << exchange.result;
  return line.str();
}

bool ParseExchangeLine(std::string_view line, LoggedExchange& exchange) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || line.front() == '#') return false;
  std::string_view fields[kFieldCount];
  for (int i = 0; i < kFieldCount; ++i) {
    const size_t tab = line.find('\t');
    if ((tab == std::string_view::npos) != (i == kFieldCount - 1)) return false;
    fields[i] = line.substr(0, tab);
    line.remove_prefix(tab == std::string_view::npos ? line.size() : tab + 1);
  }
  LoggedExchange parsed;
  if (fields[2] != "serial" && fields[2] != "usb") return false;
  parsed.viaUsbAdapter = fields[2] == "usb";
  if (!ParseNumber(fields[0], parsed.atMs) || !ParseNumber(fields[1], parsed.elapsedMs) ||
      !ParseNumber(fields[3], parsed.rate) || !ParseHexBytes(std::string(fields[4]), parsed.request) ||
      !ParseHexBytes(std::string(fields[5]), parsed.received) || !ParseNumber(fields[6], parsed.receivedCount) ||
      !ParseNumber(fields[7], parsed.result))
    return false;
  exchange = std::move(parsed);
  return true;
}

ExchangeLogRead ReadExchangeLog(const std::string& path) {
  ExchangeLogRead read;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    read.error = path + ": " + std::strerror(errno);
    return read;
  }
  std::string line;
  LoggedExchange exchange;
  while (std::getline(in, line)) {
    if (ParseExchangeLine(line, exchange)) read.exchanges.push_back(exchange);
  }
  if (in.bad()) {
    read.error = path + ": read failed";
    return read;
  }
  read.ok = true;
  return read;
}

ExchangeLog::~ExchangeLog() {
  if (file_ != nullptr) std::fclose(file_);
}

bool ExchangeLog::Open(const std::string& path, std::string& error) {
  if (file_ != nullptr) std::fclose(file_);
  // Appended to, never emptied: a mistyped name must not wipe a raw file or
  // an earlier log.
  file_ = std::fopen(path.c_str(), "a");
  if (file_ == nullptr) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  path_ = path;
  started_ = false;
  writeFailed_ = false;
  if (std::fputs("# at_ms\telapsed_ms\tline\trate\trequest\treceived\treceived_count\tresult\n", file_) < 0 ||
      std::fflush(file_) != 0) {
    error = path + ": " + std::strerror(errno);
    std::fclose(file_);
    file_ = nullptr;
    return false;
  }
  return true;
}

void ExchangeLog::Attach(Link& link) {
  link.SetTranscript([this, &link](const ExchangeRecord& record) {
    Write(record, record.lineRate != 0 ? record.lineRate : record.viaUsbAdapter ? kUsbAdapterRate : link.lineRate());
  });
}

void ExchangeLog::Write(const ExchangeRecord& record, uint32_t rate) {
  if (file_ == nullptr || writeFailed_) return;
  if (!started_) {
    startMs_ = record.sentAtMs;
    started_ = true;
  }
  LoggedExchange exchange;
  exchange.atMs = record.sentAtMs - startMs_;
  exchange.elapsedMs = record.elapsedMs;
  exchange.viaUsbAdapter = record.viaUsbAdapter;
  exchange.rate = rate;
  exchange.request = record.request;
  exchange.received = record.received;
  exchange.receivedCount = record.receivedCount;
  exchange.result = record.result;
  const std::string line = FormatExchangeLine(exchange) + '\n';
  if (std::fputs(line.c_str(), file_) < 0 || std::fflush(file_) != 0) {
    writeFailed_ = true;
    if (onWriteFailure) onWriteFailure("can't write the exchange log " + path_ + ": " + std::strerror(errno));
  }
}

}  // namespace orvald
