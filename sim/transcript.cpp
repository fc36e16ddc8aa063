#include "sim/transcript.h"

#include "link/hex.h"

namespace orvald::sim {

std::string FormatExchange(const TranscriptEntry& r) {
  char head[96];
  std::snprintf(head, sizeof head, "t=%.6f n=", r.seconds);
  std::string line = head;
  line += r.requestNumber ? std::to_string(r.requestNumber) : "-";
  line += " cmd=" + r.command;
  line += " line=" + std::to_string(r.lineRate);
  line += " req=" + (r.request.empty() ? std::string("-") : HexBytes(r.request));
  line += " reply=" + (r.reply.empty() ? std::string("-") : HexBytes(r.reply));
  line += " fault=" + (r.faults.empty() ? std::string("none") : r.faults);
  if (!r.ignored.empty()) line += " ignored=" + r.ignored + " logger=" + std::to_string(r.loggerRate);
  return line;
}

Transcript::~Transcript() {
  if (file_) std::fclose(file_);
}

bool Transcript::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void Transcript::Write(const TranscriptEntry& record) {
  if (!file_) return;
  const std::string line = FormatExchange(record);
  std::fprintf(file_, "%s\n", line.c_str());
  std::fflush(file_);
}

void Transcript::Note(const std::string& text) {
  if (!file_) return;
  std::fprintf(file_, "# %s\n", text.c_str());
  std::fflush(file_);
}

}  // namespace orvald::sim
