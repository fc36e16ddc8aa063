#pragma once
// One line per exchange, flushed at once so a killed simulator leaves a
// complete record:
//   t=0.012345 n=3 cmd=read-memory line=57600 req=F0 06 ... reply=F0 82 ... fault=split
// n is the request number the fault rules count; an ignored frame shows
// n=- and ignored=rate.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orvald::sim {

struct TranscriptEntry {
  double seconds = 0.0;      // since the simulator started
  uint64_t requestNumber = 0;  // 0 = not counted (ignored frame)
  std::string command;
  int lineRate = 0;          // speed the terminal was set to
  int loggerRate = 0;
  std::vector<uint8_t> request;  // the whole request frame
  std::vector<uint8_t> reply;    // every byte sent in answer
  std::string faults;
  std::string ignored;       // why the frame was not answered at all
};

std::string FormatExchange(const TranscriptEntry& record);

class Transcript {
 public:
  Transcript() = default;
  ~Transcript();
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  bool Open(const std::string& path);
  bool active() const { return file_ != nullptr; }
  void Write(const TranscriptEntry& record);
  void Note(const std::string& text);  // a free line, prefixed with '#'

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace orvald::sim
