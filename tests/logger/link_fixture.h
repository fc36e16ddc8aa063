#pragma once
// A link whose serial port is a scripted logger on a pseudo-terminal, for the
// logger command tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "logger/commands.h"
#include "support/pty_fake_logger.h"

namespace orvald::testing {

class LinkFixture : public ::testing::Test {
 protected:
  explicit LinkFixture(std::unique_ptr<UsbAdapterBackend> adapter = nullptr) : link(std::move(adapter)) {
    link.ChoosePort(1);
    link.SetPortResolver(FixedPortResolver(logger.path()));
  }
  void Answer(std::function<Reply(const SeenRequest&, int)> answer) { logger.SetResponder(std::move(answer)); }
  std::vector<std::vector<uint8_t>> SentData() const {
    std::vector<std::vector<uint8_t>> data;
    for (const SeenRequest& request : logger.Requests()) data.push_back(request.data);
    return data;
  }

  PtyFakeLogger logger;
  Link link;
  ReplyOrder order;
};

}  // namespace orvald::testing
