#pragma once
// The termios and descriptor work that the serial channel and the USB adapter
// share: an exclusive non-blocking open, the raw 8-N-1 line without flow
// control, writes that wait for the port instead of spinning, and the checks
// that tell a live terminal from one whose device has gone away.

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orvald::tty {

// Opens `path` read-write, non-blocking, without becoming its controlling
// terminal, and holds it exclusively (TIOCEXCL for other openers, plus an
// advisory lock that also keeps out privileged ones). -1 when the device is
// missing, not a terminal, or held elsewhere; `error` then says which (an
// errno value: ENOENT, EACCES, EBUSY, ENOTTY ...).
int OpenExclusive(const std::string& path, int& error);

// Drops the exclusive hold and closes; a no-op for -1.
void CloseExclusive(int fd);

// 8 data bits, no parity, one stop bit, receiver on, modem status ignored,
// no flow control of any kind, no byte translation, reads never block.
void MakeRawEightNOne(termios& settings);

// The termios speed constant for a line rate; nothing for rates the
// terminal layer does not name.
std::optional<speed_t> SpeedFor(uint32_t bitsPerSecond);

// Lowers DTR and RTS. Pseudo-terminals have no modem lines, so failure is
// expected there and ignored.
void DropModemLines(int fd);

// Asks the driver to hand over received bytes at once rather than on its
// latency timer; best effort (only real serial drivers know the flag).
void RequestLowLatency(int fd);

// True when the descriptor reports hang-up, error or invalidity: the device
// behind it is gone and every later operation would fail.
bool HungUp(int fd);

// Bytes waiting in the input queue, or -1 when the query fails.
long BytesWaiting(int fd);

// Bytes written but not yet sent out on the line (0 when unknown).
long BytesUnsent(int fd);

// The line rate in bit/s that the terminal's settings hold, 0 when unknown.
uint32_t RateOf(const termios& settings);

// Writes every byte, sleeping in poll(2) while the port is full. Fails on an
// I/O error, a hang-up, or when the port takes nothing for `stallLimitMs`.
bool WriteAll(int fd, const uint8_t* bytes, size_t count, int stallLimitMs = 2000);

// Reads at most `count` bytes that are already waiting. Returns the number
// read (0 when none wait) or -1 on an I/O error.
long ReadWaiting(int fd, uint8_t* destination, size_t count);

}  // namespace orvald::tty
