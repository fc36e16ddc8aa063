#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/exchange.h"
#include "logger/erase.h"
#include "tests/logger/link_fixture.h"

namespace orvald {
namespace {

using testing::Framed;
using testing::FramedReply;
using testing::NoReply;
using testing::SeenRequest;

// Answers each box from a script and keeps a log of boxes and timer events.
class EraseTest : public testing::LinkFixture {
 protected:
  struct ScriptedPrompts : Prompts {
    PromptAnswer answer = PromptAnswer::Ok;
    std::vector<std::string>* events;
    PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                     PromptIcon) override {
      events->push_back("ask " + caption + ": " + text + (buttons == PromptButtons::OkCancel ? " [OK/Cancel]" : " [OK]"));
      return buttons == PromptButtons::Ok ? PromptAnswer::Ok : answer;
    }
  };

  EraseTest() {
    prompts.events = &events;
    timer.stop = [this] { events.push_back("timer stop"); };
    timer.start = [this] { events.push_back("timer start"); };
  }
  EraseOutcome Erase() { return EraseLogger(link, prompts, timer); }

  std::vector<std::string> events;
  ScriptedPrompts prompts;
  DetectionTimerHook timer;
  const std::string question = "ask Erase Logger: Sure you want to delete the logger data? [OK/Cancel]";
  const std::string failure = "ask Erase Logger: Logger not erased! [OK]";
};

TEST_F(EraseTest, AgreedEraseSendsTheWholeRequestOnceAndSaysNothingMore) {
  Answer([](const SeenRequest&, int) { return FramedReply({0xB1, 0x46}); });
  EXPECT_EQ(Erase(), EraseOutcome::Erased);
  EXPECT_EQ(events, (std::vector<std::string>{"timer stop", question, "timer start"}));

  std::vector<uint8_t> expected{0xF0, 0x43, 0xB1, 0x46, 0x20, 0x80, 0x00, 0x80, 0x00, 0x21, 0x08, 0x21, 0x08};
  for (int i = 0; i < 28; ++i) expected.insert(expected.end(), {0x10, 0x12});
  expected.insert(expected.end(), {0x94, 0xF2});
  auto requests = logger.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].frame, expected);
  EXPECT_EQ(requests[0].frame.size(), 71u);
}

TEST_F(EraseTest, CancelSendsNothingAndRestartsDetection) {
  prompts.answer = PromptAnswer::Cancel;
  EXPECT_EQ(Erase(), EraseOutcome::Cancelled);
  EXPECT_EQ(events, (std::vector<std::string>{"timer stop", question, "timer start"}));
  EXPECT_TRUE(logger.Requests().empty());
}

TEST_F(EraseTest, NoReplyIsReported) {
  Answer([](const SeenRequest&, int) { return NoReply(); });
  EXPECT_EQ(Erase(), EraseOutcome::NotErased);
  EXPECT_EQ(events, (std::vector<std::string>{"timer stop", question, failure, "timer start"}));
}

TEST_F(EraseTest, ForeignTwoByteReplyIsNotAgreement) {
  Answer([](const SeenRequest&, int) { return FramedReply({0x00, 0x00}); });
  EXPECT_EQ(Erase(), EraseOutcome::NotErased);
  EXPECT_EQ(events, (std::vector<std::string>{"timer stop", question, failure, "timer start"}));
}

TEST_F(EraseTest, LongerReplyStartingWithAgreementIsNotAgreement) {
  Answer([](const SeenRequest&, int) { return FramedReply({0xB1, 0x46, 0x00}); });
  EXPECT_EQ(Erase(), EraseOutcome::NotErased);
}

TEST_F(EraseTest, EraseChosenDuringARunningExchangeIsRefusedNotInterleaved) {
  // The logger answers the running exchange late; meanwhile the operator
  // picks Logger > Clear from the menu, which the waiter lets through.
  Answer([](const SeenRequest&, int) { return testing::Reply{{Framed({0x78}), 50}}; });
  struct MenuDuringWait : Waiter {
    std::function<void()> menu;
    PollWaiter inner;
    void Wait(int fd, int timeoutMs) override {
      if (menu) std::exchange(menu, nullptr)();
      inner.Wait(fd, timeoutMs);
    }
  } waiter;
  EraseOutcome nested = EraseOutcome::Erased;
  waiter.menu = [&] { nested = Erase(); };
  link.SetWaiter(waiter);

  const uint8_t version = 0x78;
  uint8_t reply[256];
  EXPECT_EQ(ExchangeFrame(link, &version, 1, reply), 1);
  EXPECT_EQ(nested, EraseOutcome::NotErased);
  EXPECT_EQ(events, (std::vector<std::string>{"timer stop", question, failure, "timer start"}));
  ASSERT_EQ(logger.Requests().size(), 1u) << "the erase never reached the line";
  EXPECT_EQ(logger.Requests()[0].data, (std::vector<uint8_t>{0x78}));
}

TEST(EraseRequest, PatternFollowsTheCommand) {
  auto request = EraseRequest();
  EXPECT_EQ(request.size(), 67u);
  EXPECT_EQ(request[0], 0xB1);
  EXPECT_EQ(request[1], 0x46);
  EXPECT_EQ(request[2], 0x20);
  EXPECT_EQ(request[66], 0x12);
  EXPECT_EQ(request[65], 0x10);
}

}  // namespace
}  // namespace orvald
