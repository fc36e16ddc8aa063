#include "sim/sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

#include "link/hex.h"

namespace orvald::sim {
namespace {

bool ParseInt(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 0);  // accepts 0x..
  return errno == 0 && end && *end == '\0' && value >= low && value <= high;
}

bool IsTerminalSpeed(int rate) {
  for (int known : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400}) {
    if (rate == known) return true;
  }
  return false;
}

// "BLOCK=VALUE"
bool SplitAssignment(const std::string& text, std::string& left, std::string& right) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  left = text.substr(0, eq);
  right = text.substr(eq + 1);
  return true;
}

}  // namespace

const char* SimHelpText() {
  return R"(Usage: orvald-sim [OPTIONS]

A GPS flight logger on a pseudo-terminal. Prints the terminal's path as the
first line on standard output, then answers the logger's frames until it is
killed (SIGTERM, SIGINT), its parent process ends, or a hang-up ends the run.

Memory (one source; the default is a small built-in flight of two segments):
  --igc FILE             B records of an IGC flight (date from HFDTE)
  --g00 FILE             a raw image file; the memory is rebuilt from block 0
                         so that a full download writes the file again; its
                         header gives the serial and version texts unless
                         --serial / --version say otherwise
  --memory FILE          a raw 2 MiB memory dump (32 blocks of 64 KiB)

Block layout (applies to --igc and the built-in flight; the header edits
--mask, --sequence and --unused apply to every source):
  --start-block N        block of the oldest fixes (0-31, default 0); the
                         flight wraps from block 31 to block 0
  --records-per-block N  fixes per block (1-3639, default 3639)
  --first-sequence N     sequence number of the start block (default 1)
  --mask BLOCK=HEX       fill mask of a block, e.g. 3=FFFF (no data), 5=FFFD
                         (a hole: the whole block is downloaded); repeatable
  --sequence BLOCK=N     sequence number of a block; repeatable
  --unused BLOCK         mark a block not in use (status byte 0xFF); repeatable

Identity:
  --serial TEXT          serial text of the identify reply (default
                         00000012345; sent as given, any length)
  --version TEXT         version text of the version reply (default
                         "VER 5.1A"; characters 4, 6 and 7 give the type 5.1A)
  --erase-reply HEX      reply data to an erase request (default B146); the
                         memory is wiped only when it is B1 46

Line:
  --rate N               the logger's rate at start, bit/s (default 9600);
                         the terminal starts at this speed too
  --max-rate N           the fastest rate the logger switches to; a set-rate to
                         a faster one gets no reply and changes nothing
  --ignore-rate          answer frames whatever speed the terminal is set to;
                         by default a frame arriving while the terminal's
                         speed differs from the logger's rate is ignored
  --pace                 send reply bytes at the line rate (10 bits a byte)
  --turnaround-ms N      pause between a request and its reply (default 0)

Faults (each fires always, with a probability, or at request numbers; the
requests the logger accepts are counted from 1):
  --fault KIND[=WHEN]    WHEN: always (default), a probability such as 0.2,
                         or @N,M,... ; repeatable. KIND is one of:
      drop               no reply (the request is lost: an erase does not
                         wipe, a set-rate does not change the rate)
      no-identity        identify requests get no reply
      no-rate-ack        set-rate: the rate changes, but no echo is sent
      garbage            random bytes instead of the reply (never valid)
      oversize           a 300-byte reply: a frame announcing 255 data bytes
                         (the reply, padded) followed by filler
      bad-checksum       the reply's checksum is wrong
      short              memory reads: a valid frame with fewer data bytes
      trailing           extra bytes after the reply's end byte, same write
      split              the reply in pieces with pauses between them
      stall              the reply comes only after a pause beyond 300 ms
      empty              a valid frame with no data bytes (F0 00 00 F2)
      foreign            a valid frame whose first data byte is not the
                         command's (e.g. 79 instead of 78 for "x")
      wrong-ends         start and end bytes 00, length and checksum right
      truncate           only the first bytes of the reply are ever sent
  --seed N               seed of the fault decisions and random bytes (default 1)
  --split-pieces N       pieces of a split reply (default 3)
  --split-delay-ms N     pause between pieces (default 20)
  --stall-ms N           pause before a stalled reply (default 400)
  --short-by N           data bytes missing from a short reply (default 10)
  --oversize-bytes N     bytes of an oversize reply (default 300)
  --garbage-bytes N      bytes of garbage (default: random, 1 to 64)
  --trailing-bytes N     bytes after the end byte (default 1)
  --truncate-bytes N     bytes of a truncated reply that are sent (default 4)
  --hangup-after N       answer N requests; request N+1 closes the terminal
                         (the computer sees a hang-up) and the program exits
  --reopen               after the hang-up make a new terminal instead of
                         exiting (a cable pulled and plugged in again); use
                         with --link so the computer can find it again
  --link PATH            keep a symlink at PATH pointing at the current
                         terminal, and print PATH instead of the terminal
  --swap-after N         answer N requests, then the logger is unplugged and,
                         --swap-gap-ms later (default 1000), another one is
                         plugged into the same port: serial --swap-serial
                         (default 00000067890), the same version, every
                         payload byte of the memory inverted, at --swap-rate
                         (default 9600: a logger left faster hears no 9600)
  --swap-hangup          the port hangs up at the swap and the other logger
                         comes on a new terminal (use with --link)
  --as-swapped           be that other logger from the start (for the files
                         written by --dump-memory and --expect-g00)

Files:
  --transcript FILE      one line per exchange: time, request number,
                         command, terminal speed, request and reply in hex,
                         faults applied; ignored frames are marked
  --dump-memory FILE     write the 2 MiB memory as served
  --expect-g00 FILE      write the raw image file a complete download of this
                         memory, with this identity, must produce
  --no-serve             write the files above and exit without a terminal
  --replay FILE          answer as recorded in an exchange log written by
                         `orvald-cli download --log FILE` (or ORVALD_TRANSCRIPT):
                         each request gets the bytes that arrived for the same
                         request, in order; frames are answered at any speed
                         and faults do not apply
  --help                 this text
)";
}

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& o, std::string& error) {
  o = SimOptions{};
  bool sourceSet = false;
  for (size_t i = 0; i < args.size(); ++i) {
    // "--name VALUE" and "--name=VALUE" alike.
    std::string a = args[i];
    std::optional<std::string> attached;
    if (const size_t equals = a.find('='); a.rfind("--", 0) == 0 && equals != std::string::npos) {
      attached = a.substr(equals + 1);
      a.resize(equals);
    }
    auto value = [&](std::string& out) {
      if (attached) {
        out = *std::exchange(attached, std::nullopt);
        return true;
      }
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    auto number = [&](long long low, long long high, long long& out) {
      std::string text;
      if (!value(text)) return false;
      if (!ParseInt(text, low, high, out)) {
        error = a + ": not a number in " + std::to_string(low) + ".." + std::to_string(high) + ": " + text;
        return false;
      }
      return true;
    };
    auto source = [&](MemorySource kind) {
      if (sourceSet) {
        error = "only one of --igc, --g00 and --memory";
        return false;
      }
      sourceSet = true;
      o.source = kind;
      return value(o.sourcePath);
    };
    long long n = 0;
    std::string text, left, right;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--igc") {
      if (!source(MemorySource::kIgc)) return false;
    } else if (a == "--g00") {
      if (!source(MemorySource::kRawFile)) return false;
    } else if (a == "--memory") {
      if (!source(MemorySource::kDump)) return false;
    } else if (a == "--start-block") {
      if (!number(0, kBlockCount - 1, n)) return false;
      o.layout.startBlock = static_cast<int>(n);
    } else if (a == "--records-per-block") {
      if (!number(1, kRecordsPerBlock, n)) return false;
      o.layout.recordsPerBlock = static_cast<int>(n);
    } else if (a == "--first-sequence") {
      if (!number(INT32_MIN, INT32_MAX, n)) return false;
      o.layout.firstSequence = static_cast<int32_t>(n);
    } else if (a == "--mask" || a == "--sequence") {
      if (!value(text)) return false;
      const bool isMask = a == "--mask";
      long long block = 0, v = 0;
      bool ok = SplitAssignment(text, left, right) && ParseInt(left, 0, kBlockCount - 1, block);
      if (ok && isMask) {
        // The mask is hex with or without 0x.
        const std::string digits = right.rfind("0x", 0) == 0 || right.rfind("0X", 0) == 0 ? right.substr(2) : right;
        ok = !digits.empty() && digits.size() <= 4 && ParseInt("0x" + digits, 0, 0xFFFF, v);
      } else if (ok) {
        ok = ParseInt(right, INT32_MIN, INT32_MAX, v);
      }
      if (!ok) {
        error = a + ": expected BLOCK=" + (isMask ? "HEX" : "N") + ", got " + text;
        return false;
      }
      if (isMask) {
        o.layout.fillMaskOverrides.emplace_back(static_cast<int>(block), static_cast<uint16_t>(v));
      } else {
        o.layout.sequenceOverrides.emplace_back(static_cast<int>(block), static_cast<int32_t>(v));
      }
    } else if (a == "--unused") {
      if (!number(0, kBlockCount - 1, n)) return false;
      o.layout.statusByteOverrides.emplace_back(static_cast<int>(n), 0xFF);
    } else if (a == "--serial") {
      if (!value(o.logger.serialText)) return false;
      o.serialGiven = true;
    } else if (a == "--version") {
      if (!value(o.logger.versionText)) return false;
      o.versionGiven = true;
    } else if (a == "--erase-reply") {
      if (!value(text)) return false;
      if (!ParseHexBytes(text, o.logger.eraseReply) || o.logger.eraseReply.size() > 250) {
        error = "--erase-reply: not hex bytes: " + text;
        return false;
      }
    } else if (a == "--rate") {
      if (!number(1, 4000000, n)) return false;
      if (!IsTerminalSpeed(static_cast<int>(n))) {
        error = "--rate: not a terminal speed: " + std::to_string(n);
        return false;
      }
      o.logger.initialRate = static_cast<int>(n);
    } else if (a == "--max-rate") {
      if (!number(1, 4000000, n)) return false;
      o.logger.maxRate = static_cast<int>(n);
    } else if (a == "--ignore-rate") {
      o.server.ignoreRate = true;
    } else if (a == "--pace") {
      o.server.pace = true;
    } else if (a == "--turnaround-ms") {
      if (!number(0, 60000, n)) return false;
      o.server.turnaroundMs = static_cast<int>(n);
    } else if (a == "--fault") {
      if (!value(text)) return false;
      const size_t eq = text.find('=');
      const std::string name = text.substr(0, eq);
      const std::string when = eq == std::string::npos ? "" : text.substr(eq + 1);
      FaultKind kind;
      FaultRule rule;
      if (!FaultFromName(name, kind)) {
        error = "--fault: unknown fault " + name;
        return false;
      }
      if (!ParseFaultRule(kind, when, rule)) {
        error = "--fault: bad WHEN (always, 0..1 or @N,M): " + when;
        return false;
      }
      o.faults.push_back(rule);
    } else if (a == "--seed") {
      if (!number(0, INT64_MAX, n)) return false;
      o.seed = static_cast<uint64_t>(n);
    } else if (a == "--split-pieces") {
      if (!number(2, 300, n)) return false;
      o.server.faults.splitPieces = static_cast<int>(n);
    } else if (a == "--split-delay-ms") {
      if (!number(0, 60000, n)) return false;
      o.server.faults.splitDelayMs = static_cast<int>(n);
    } else if (a == "--stall-ms") {
      if (!number(0, 600000, n)) return false;
      o.server.faults.stallMs = static_cast<int>(n);
    } else if (a == "--short-by") {
      if (!number(1, 255, n)) return false;
      o.server.faults.shortBy = static_cast<int>(n);
    } else if (a == "--oversize-bytes") {
      if (!number(1, 65536, n)) return false;
      o.server.faults.oversizeBytes = static_cast<int>(n);
    } else if (a == "--garbage-bytes") {
      if (!number(1, 65536, n)) return false;
      o.server.faults.garbageBytes = static_cast<int>(n);
    } else if (a == "--trailing-bytes") {
      if (!number(1, 65536, n)) return false;
      o.server.faults.trailingBytes = static_cast<int>(n);
    } else if (a == "--truncate-bytes") {
      if (!number(1, 65536, n)) return false;
      o.server.faults.truncateBytes = static_cast<int>(n);
    } else if (a == "--hangup-after") {
      if (!number(1, INT64_MAX, n)) return false;
      o.server.hangupAfter = static_cast<uint64_t>(n);
    } else if (a == "--reopen") {
      o.server.reopenAfterHangup = true;
    } else if (a == "--swap-after") {
      if (!number(1, INT64_MAX, n)) return false;
      o.server.swapAfter = static_cast<uint64_t>(n);
    } else if (a == "--swap-gap-ms") {
      if (!number(0, 600000, n)) return false;
      o.server.swapGapMs = static_cast<int>(n);
    } else if (a == "--swap-serial") {
      if (!value(o.swapSerial)) return false;
    } else if (a == "--swap-rate") {
      if (!number(1, 4000000, n)) return false;
      o.swapRate = static_cast<int>(n);
    } else if (a == "--swap-hangup") {
      o.server.swapHangUp = true;
    } else if (a == "--as-swapped") {
      o.asSwapped = true;
    } else if (a == "--link") {
      if (!value(o.server.linkPath)) return false;
    } else if (a == "--transcript") {
      if (!value(o.transcriptPath)) return false;
    } else if (a == "--replay") {
      if (!value(o.replayPath)) return false;
      // A recording holds the replies, not the logger's rate: answer at any speed.
      o.server.ignoreRate = true;
    } else if (a == "--dump-memory") {
      if (!value(o.dumpMemoryPath)) return false;
    } else if (a == "--expect-g00") {
      if (!value(o.expectRawPath)) return false;
    } else if (a == "--no-serve") {
      o.serve = false;
    } else {
      error = "unknown option " + a + " (see --help)";
      return false;
    }
    if (attached) {
      error = a + " takes no value";
      return false;
    }
  }
  return true;
}

}  // namespace orvald::sim
