// Sending to a peer that has gone away: the send ends with an error instead
// of trying again.
#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <future>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

TEST(SocketSend, APeerThatResetsEndsTheSendWithAnError)
{
  using namespace platform;
  const int listener = createStreamSocket();
  ASSERT_TRUE(bindSocket(listener, {htonl(INADDR_LOOPBACK), 0}));
  ASSERT_TRUE(listenSocket(listener, 1));
  SocketAddress at;
  ASSERT_TRUE(socketName(listener, at));
  const int client = createStreamSocket();
  ASSERT_TRUE(connectSocket(client, at, 5s));
  int peer = InvalidSocket;
  for (int i = 0; i < 5000 && peer < 0; ++i) {
    peer = acceptSocket(listener, nullptr);
    if (peer < 0)
      std::this_thread::sleep_for(1ms);
  }
  ASSERT_GE(peer, 0);
  const linger reset{1, 0};  // close with a reset instead of an orderly end
  ASSERT_EQ(::setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
  ::close(peer);

  // A few sends at most reach the gone peer; one of them must fail. The
  // sends run on a thread of their own, so a send that never returns fails
  // the test instead of hanging it.
  auto outcome = std::make_shared<std::promise<std::pair<bool, int>>>();
  std::future<std::pair<bool, int>> done = outcome->get_future();
  std::thread([client, outcome] {
    const std::string block(64 * 1024, 'x');
    bool sent = true;
    for (int i = 0; i < 100 && sent; ++i)
      sent = sendAll(client, block.data(), block.size());
    outcome->set_value({sent, lastSocketError()});
  }).detach();
  ASSERT_EQ(done.wait_for(20s), std::future_status::ready) << "sendAll did not return after the reset";
  const auto [sent, error] = done.get();
  EXPECT_FALSE(sent);
  EXPECT_NE(error, 0);
  closeSocket(client);
  closeSocket(listener);
}
