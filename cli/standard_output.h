#pragma once
// Standard output whose reader may go away: `orvald-cli watch ... | tee log`
// and tee is closed, or the disk under a redirection fills. Writing to it is
// then a failed write, said once on stderr, never the end of the program
// while downloads run on other ports.

#include <string>

namespace orvald::cli {

// From now on a write to a pipe that has no reader fails (EPIPE) instead of
// raising SIGPIPE, which would end the process. For the whole process and
// every command: a download's files and its logger's line rate must never
// depend on who reads what it prints.
void KeepRunningWithoutReader();

// Writes `text` whole and flushes it, from any thread. False when it did not
// all reach standard output or an earlier write failed: after a failure
// nothing more is written, so a reader never takes what follows a lost block
// for the whole story.
bool WriteOutput(const std::string& text);

// Flushes what the commands printed; false when any output was lost. The
// first loss is told on stderr, once for the whole run.
bool FinishOutput();

}  // namespace orvald::cli
