#include "platform/ui_bridge.h"

#include "support/fake_bridge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using testsupport::FakeBridge;

TEST(UiBridgeTest, WithoutABridgeCallsRunInline)
{
  int ran = 0;
  platform::uiBridge().synchronize([&] { ++ran; });
  platform::uiBridge().processMessages();
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(platform::uiBridge().isUiThread());
}

TEST(UiBridgeTest, AWorkersCallWaitsForThePumpAndRaisesItsExceptionInTheWorker)
{
  FakeBridge bridge;
  std::thread::id ranOn;
  std::string caught;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    EXPECT_FALSE(platform::uiBridge().isUiThread());
    platform::uiBridge().synchronize([&] { ranOn = std::this_thread::get_id(); });
    try {
      platform::uiBridge().synchronize([] { throw std::runtime_error("Bad or incomplete URL: x."); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    finished = true;
  });
  // Nothing runs until the user-interface thread pumps.
  ASSERT_TRUE(bridge.WaitForQueued(std::chrono::seconds(10)));
  EXPECT_EQ(ranOn, std::thread::id());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!finished && std::chrono::steady_clock::now() < deadline) {
    bridge.WaitForQueued(std::chrono::milliseconds(10));
    bridge.processMessages();
  }
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(caught, "Bad or incomplete URL: x.");
}
