// Logger > Clear on an in-memory line: the question, the one request, and
// what counts as the logger's agreement.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/exchange.h"
#include "logger/erase.h"
#include "support/fake_line.h"

namespace orvald {
namespace {

std::vector<uint8_t> Frame(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> frame(data.size() + kFrameOverhead);
  BuildRequestFrame(data.data(), data.size(), frame.data());
  return frame;
}

class EraseTest : public ::testing::Test {
 protected:
  // Answers each box from a script and keeps a log of the boxes.
  struct ScriptedPrompts : Prompts {
    PromptAnswer answer = PromptAnswer::kOk;
    std::vector<std::string> asked;
    PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons, PromptIcon) override {
      asked.push_back(caption + ": " + text + (buttons == PromptButtons::kOkCancel ? " [OK/Cancel]" : " [OK]"));
      return buttons == PromptButtons::kOk ? PromptAnswer::kOk : answer;
    }
  };
  // The logger answers every request with `reply` (nothing when empty).
  void Reply(std::vector<uint8_t> reply) {
    fake.line.onWrite = [this, reply](const std::vector<uint8_t>&) {
      if (!reply.empty()) fake.line.Send(Frame(reply), 5);
    };
  }
  EraseOutcome Erase() { return EraseLogger(fake.link, order, prompts); }

  testing::FakeLink fake;
  ReplyOrder order;
  ScriptedPrompts prompts;
  const std::string question = "Erase Logger: Sure you want to delete the logger data? [OK/Cancel]";
  const std::string failure = "Erase Logger: Logger not erased! [OK]";
};

TEST_F(EraseTest, AgreedEraseSendsTheWholeRequestOnceAndSaysNothingMore) {
  Reply({0xB1, 0x46});
  EXPECT_EQ(Erase(), EraseOutcome::kErased);
  EXPECT_EQ(prompts.asked, std::vector<std::string>{question});
  std::vector<uint8_t> expected{0xF0, 0x43, 0xB1, 0x46, 0x20, 0x80, 0x00, 0x80, 0x00, 0x21, 0x08, 0x21, 0x08};
  for (int i = 0; i < 28; ++i) expected.insert(expected.end(), {0x10, 0x12});
  expected.insert(expected.end(), {0x94, 0xF2});
  ASSERT_EQ(fake.line.written.size(), 1u);
  EXPECT_EQ(fake.line.written[0], expected);
}

TEST_F(EraseTest, CancelSendsNothing) {
  prompts.answer = PromptAnswer::kCancel;
  EXPECT_EQ(Erase(), EraseOutcome::kCancelled);
  EXPECT_EQ(prompts.asked, std::vector<std::string>{question});
  EXPECT_TRUE(fake.line.written.empty());
}

TEST_F(EraseTest, OnlyTheTwoBytesB146AreAgreement) {
  for (const std::vector<uint8_t>& reply : {std::vector<uint8_t>{}, std::vector<uint8_t>{0x00, 0x00},
                                           std::vector<uint8_t>{0xB1, 0x46, 0x00}}) {
    prompts.asked.clear();
    Reply(reply);
    EXPECT_EQ(Erase(), EraseOutcome::kNotErased);
    EXPECT_EQ(prompts.asked, (std::vector<std::string>{question, failure}));
    fake.line.nowMs += 1000;  // whatever was late has come
  }
}

TEST_F(EraseTest, AnAgreementThatComesTooLateIsSettledByTheBlockHeaders) {
  // agreesAfterMs -1: never; usedBlock: a block that still holds data after the erase (-1: none).
  struct Case { int agreesAfterMs, usedBlock; bool answersReads; EraseOutcome outcome; };
  for (const Case& c : {Case{800, -1, true, EraseOutcome::kErased}, Case{-1, 0, true, EraseOutcome::kNotErased},
                        Case{800, 17, true, EraseOutcome::kNotErased}, Case{800, -1, false, EraseOutcome::kNotErased}}) {
    testing::FakeLink line;
    ReplyOrder order;
    line.line.onWrite = [&](const std::vector<uint8_t>& frame) {
      if (frame[3] == 0x46 && c.agreesAfterMs >= 0) line.line.Send(Frame({0xB1, 0x46}), c.agreesAfterMs);
      if (frame[3] != 0x52 || !c.answersReads) return;
      std::vector<uint8_t> reply{0xB1, 0x52};
      reply.resize(2u + frame[7], 0xFF);  // an unused header, or a part of one
      if (frame[4] == c.usedBlock && frame[7] == 32) reply[2] = reply[18] = reply[19] = 0x10;  // in use, with data
      line.line.Send(Frame(reply), 5);
    };
    prompts.asked.clear();
    EXPECT_EQ(EraseLogger(line.link, order, prompts), c.outcome) << c.agreesAfterMs << " " << c.usedBlock;
    EXPECT_EQ(prompts.asked.size(), c.outcome == EraseOutcome::kErased ? 1u : 2u) << "the failure box";
  }
}

TEST_F(EraseTest, EraseChosenDuringARunningExchangeIsRefusedNotInterleaved) {
  // The logger answers the running exchange late; meanwhile the operator
  // picks Logger > Clear from the menu, which the waiter lets through.
  fake.line.onWrite = [this](const std::vector<uint8_t>&) { fake.line.Send(Frame({0x78}), 50); };
  EraseOutcome nested = EraseOutcome::kErased;
  fake.waiter.onWait = [&] {
    fake.waiter.onWait = nullptr;
    nested = Erase();
  };
  const uint8_t version = 0x78;
  uint8_t reply[256];
  EXPECT_EQ(ExchangeFrame(fake.link, &version, 1, reply), 1);
  EXPECT_EQ(nested, EraseOutcome::kNotErased);
  EXPECT_EQ(prompts.asked, (std::vector<std::string>{question, failure}));
  ASSERT_EQ(fake.line.written.size(), 1u) << "the erase never reached the line";
  EXPECT_EQ(fake.line.written[0], Frame({0x78}));
}

}  // namespace
}  // namespace orvald
