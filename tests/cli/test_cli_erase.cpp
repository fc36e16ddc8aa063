// orvald-cli erase against orvald-sim on a pseudo-terminal.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "run_program.h"
#include "support/sim_process.h"

namespace orvald {
namespace {

using testing::ProgramRun;
using testing::RunProgram;

const std::string kSim = std::string(ORVALD_BINARY_DIR) + "/sim/orvald-sim";

class CliErase : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(kSim.c_str(), X_OK) != 0) GTEST_SKIP() << "orvald-sim not built";
  }
  // Runs the command with `answer` on its standard input.
  static ProgramRun EraseAnswering(const std::string& answer, const std::string& device) {
    return RunProgram("/bin/sh", {"-c", "printf '" + answer + "' | \"$0\" erase --port \"$1\"", ORVALD_CLI, device});
  }
};

TEST_F(CliErase, YesErasesWithoutAsking) {
  test::SimProcess sim(kSim, {});
  ASSERT_TRUE(sim.started()) << sim.error();
  ProgramRun run = RunProgram(ORVALD_CLI, {"erase", "--port", sim.ptyPath(), "--yes"});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err.find("Sure you want"), std::string::npos);
}

TEST_F(CliErase, AsksOnTheTerminalAndOnlyYesErases) {
  test::SimProcess sim(kSim, {});
  ASSERT_TRUE(sim.started()) << sim.error();
  ProgramRun declined = EraseAnswering("n\\n", sim.ptyPath());
  EXPECT_EQ(declined.exitStatus, 1);
  EXPECT_NE(declined.err.find("Sure you want to delete the logger data? [y/N]"), std::string::npos) << declined.err;
  EXPECT_EQ(declined.err.find("Logger not erased!"), std::string::npos) << "nothing was sent";

  ProgramRun noAnswer = EraseAnswering("", sim.ptyPath());
  EXPECT_EQ(noAnswer.exitStatus, 1);

  ProgramRun agreed = EraseAnswering("y\\n", sim.ptyPath());
  EXPECT_EQ(agreed.exitStatus, 0) << agreed.err;
}

TEST_F(CliErase, LoggerThatDoesNotAgreeFailsWithTheMessage) {
  test::SimProcess sim(kSim, {"--erase-reply", "B147"});
  ASSERT_TRUE(sim.started()) << sim.error();
  ProgramRun run = RunProgram(ORVALD_CLI, {"erase", "--port", sim.ptyPath(), "--yes"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("Logger not erased!"), std::string::npos) << run.err;
}

TEST_F(CliErase, NoLoggerOnThePortFails) {
  ProgramRun run = RunProgram(ORVALD_CLI, {"erase", "--port", "/nonexistent/ttyUSB9", "--yes"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("Logger not erased!"), std::string::npos) << run.err;
}

TEST_F(CliErase, PortMustBeNamedOnce) {
  EXPECT_EQ(RunProgram(ORVALD_CLI, {"erase", "--yes"}).exitStatus, 2);
  EXPECT_EQ(RunProgram(ORVALD_CLI, {"erase", "--port", "/dev/null", "--com", "1"}).exitStatus, 2);
  EXPECT_EQ(RunProgram(ORVALD_CLI, {"erase", "--com", "0"}).exitStatus, 2);
}

}  // namespace
}  // namespace orvald
