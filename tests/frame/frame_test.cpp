// The live-view library's frame: wait-time corrections, camera addresses, client start rules,
// handles, and the notification path (callback instead of a posted message).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "netclient/include/QVNetClient.h"
#include "netclient/wire/client_address.h"
#include "netclient/stream/library_context.h"
#include "netclient/client/net_client.h"
#include "platform/memory_window_sink.h"
#include "platform/window_registry.h"

namespace qvnet {
namespace {

TEST(WaitTime, CorrectionsOfOutOfRangeValues) {
  struct Case {
    int t, r, w;
    int want_t, want_r, want_w;
  };
  const Case cases[] = {
      {0, -5, -1, 5, 1, 10},   // all three corrected
      {3, -1, 0, 3, -1, 0},    // -1 is unlimited, 0 stays 0
      {-7, 4, 30, 5, 4, 30},
      {1, 0, 1, 1, 0, 1},
  };
  for (const Case& c : cases) {
    LibraryContext ctx;
    ctx.SetWaitTime(c.t, c.r, c.w);
    EXPECT_EQ(ctx.connect_timeout_s, c.want_t) << c.t;
    EXPECT_EQ(ctx.retry_count, c.want_r) << c.r;
    EXPECT_EQ(ctx.reconnect_interval_s, c.want_w) << c.w;
  }
}

TEST(ClientAddressTest, HostPortAndUrlMode) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    uint16_t port;
    bool url;
  };
  const Case cases[] = {
      {"192.168.1.20", true, "192.168.1.20", 554, false},
      {"cam.local:8554", true, "cam.local", 8554, false},
      {"10.0.0.9:554/live/ch1", true, "10.0.0.9", 554, true},
      {"10.0.0.9/path", true, "10.0.0.9/path", 554, false},  // no colon: not a URL, no port
      {"host:80x", true, "host", 80, false},                   // digits up to the first non-digit
      {"host:0", false, "", 0, false},
      {"host:65536", false, "", 0, false},
      {"host:", false, "", 0, false},
      {":554", false, "", 0, false},
      {"", false, "", 0, false},
  };
  for (const Case& c : cases) {
    ClientAddress a;
    ASSERT_EQ(ParseClientAddress(c.text, 161, &a), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(a.host, c.host) << c.text;
    EXPECT_EQ(a.port, c.port) << c.text;
    EXPECT_EQ(a.url_mode, c.url) << c.text;
    EXPECT_EQ(a.text, c.text);
  }
}

TEST(ClientAddressTest, LongestHostFitsTheFieldWithAPort) {
  ClientAddress a;
  const std::string longest(kMaxHostLength, 'h');
  const std::string with_port = longest + ":65535";
  ASSERT_LT(with_port.size(), sizeof(ClientParams{}.address));
  ASSERT_TRUE(ParseClientAddress(with_port.c_str(), sizeof(ClientParams{}.address), &a));
  EXPECT_EQ(a.host, longest);
  EXPECT_EQ(a.port, 65535);
  EXPECT_FALSE(ParseClientAddress((longest + "h").c_str(), sizeof(ClientParams{}.address), &a));
}

TEST(ClientAddressTest, UnterminatedFieldIsRefused) {
  char field[8];
  std::memset(field, 'a', sizeof field);
  ClientAddress a;
  EXPECT_FALSE(ParseClientAddress(field, sizeof field, &a));
}

ClientParams LoopbackParams(int16_t transport) {
  ClientParams p{};
  p.transport = transport;
  std::strcpy(p.address, "127.0.0.1:1");  // nothing listens: no test leaves loopback
  return p;
}

TEST(ClientStartTest, TransportAndHandleRules) {
  ClientParams p = LoopbackParams(2);
  EXPECT_EQ(QVNET_ClientStart(&p), 0u);
  EXPECT_EQ(QVNET_ClientStart(nullptr), 0u);
  EXPECT_EQ(QVNET_GetClientState(0), 65535);
  EXPECT_EQ(QVNET_ClientStop(0), 0);
  EXPECT_EQ(QVNET_ClientStartView(0), 0);
  EXPECT_EQ(QVNET_ClientSetWnd(0, 5), 1);
  EXPECT_EQ(QVNET_ClientVerticalFlip(0, 1), 0u);

  p = LoopbackParams(1);
  const QVNET_HANDLE h = QVNET_ClientStart(&p);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(QVNET_GetClientState(h), 1);
  EXPECT_EQ(QVNET_ClientRotate180(h, 1), h);
  int kbps = -1, fps = -1;
  EXPECT_EQ(QVNET_GetBitStreamInfo(h, &kbps, &fps), 1);
  EXPECT_EQ(kbps, 0);
  EXPECT_EQ(QVNET_ClientStop(h), 1);
  // A stopped client's handle is unknown from now on.
  EXPECT_EQ(QVNET_GetClientState(h), 65535);
  EXPECT_EQ(QVNET_ClientStop(h), 0);
}

struct Seen {
  uint32_t handle, code, value, user;
};
std::vector<Seen>* g_seen = nullptr;
void RecordCallback(uint32_t h, uint32_t code, uint32_t value, uint32_t user) {
  g_seen->push_back({h, code, value, user});
}

TEST(NotifyTest, CallbackReplacesPostedMessage) {
  auto sink = std::make_shared<qvp::MemoryWindowSink>();
  const qvp::WindowHandle wnd = qvp::RegisterWindow(sink);
  LibraryContext ctx;
  NetClient client(ctx);
  ClientParams p = LoopbackParams(0);
  p.notify_window = wnd;
  p.notify_message = 0x2345;
  p.user_value = 77;
  ASSERT_TRUE(client.Configure(p));
  client.handle = 9;

  client.Notify(1, 3);  // no callback: posted
  auto m = sink->WaitMessage(1000);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->msg, 0x2345u);
  EXPECT_EQ(m->wparam, 1u);
  EXPECT_EQ(m->lparam, 3);

  std::vector<Seen> seen;
  g_seen = &seen;
  ctx.callback = &RecordCallback;
  client.Notify(2, 8);  // callback installed: called, nothing posted
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].handle, 9u);
  EXPECT_EQ(seen[0].code, 2u);
  EXPECT_EQ(seen[0].value, 8u);
  EXPECT_EQ(seen[0].user, 77u);
  EXPECT_FALSE(sink->WaitMessage(50).has_value());
  g_seen = nullptr;
  qvp::UnregisterWindow(wnd);
}

TEST(NotifyTest, NeitherCallbackNorWindowDropsTheEvent) {
  LibraryContext ctx;
  NetClient client(ctx);
  ASSERT_TRUE(client.Configure(LoopbackParams(0)));
  client.Notify(1, 0);  // must simply return
}

}  // namespace
}  // namespace qvnet
