#include "platform/endpoint.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/instance_lock.h"
#include "tests/core/core_test_support.h"

namespace {

using qvp::Endpoint;
using qvp::EndpointExists;
using qvp::PostToEndpoint;

// Endpoints of a test live in a runtime folder of its own.
class EndpointTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    setenv("XDG_RUNTIME_DIR", home_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_RUNTIME_DIR");
    TempHome::TearDown();
  }
  static sockaddr_un Address(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    return addr;
  }
  // A socket file whose owner is gone: bound, then closed without removing the file.
  static void LeaveStaleSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    const sockaddr_un addr = Address(path);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
  }
};

TEST_F(EndpointTest, PostAndReceive) {
  Endpoint watchdog;
  ASSERT_TRUE(watchdog.Bind("QV_WATCHDOGAPP"));
  EXPECT_EQ(Mode(home_ + "/qv_nvr"), 0700u);
  EXPECT_TRUE(EndpointExists("QV_WATCHDOGAPP"));
  EXPECT_FALSE(Endpoint().Bind("QV_WATCHDOGAPP")) << "one live endpoint per name";

  ASSERT_TRUE(PostToEndpoint("QV_WATCHDOGAPP", 3524, 1, -5));
  ASSERT_TRUE(PostToEndpoint("QV_WATCHDOGAPP", 3524, 2, 0));
  std::optional<qvp::EndpointMessage> m = watchdog.Receive(1000);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->msg, 3524u);
  EXPECT_EQ(m->wparam, 1u);
  EXPECT_EQ(m->lparam, -5);
  m = watchdog.Receive(0);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->wparam, 2u);
  EXPECT_FALSE(watchdog.Receive(0));
  EXPECT_FALSE(watchdog.Receive(30)) << "the time-out ends the wait";
}

TEST_F(EndpointTest, SafeNamesAndForeignDatagrams) {
  Endpoint replay;
  ASSERT_TRUE(replay.Bind(" QV_NVR Replay"));
  const std::string path = qvp::RuntimePath(" QV_NVR Replay", ".sock");
  EXPECT_EQ(std::filesystem::path(path).filename(), "%20QV_NVR%20Replay.sock");
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  const sockaddr_un addr = Address(path);
  ASSERT_EQ(sendto(fd, "short", 5, 0, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 5);
  close(fd);
  ASSERT_TRUE(PostToEndpoint(" QV_NVR Replay", 6024, 0, 0));
  const std::optional<qvp::EndpointMessage> m = replay.Receive(1000);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->msg, 6024u);

  for (const char* name : {"../escape", "a/b", ".."}) {
    EXPECT_EQ(std::filesystem::path(qvp::RuntimePath(name, ".sock")).parent_path(),
              home_ + "/qv_nvr")
        << name;
  }
  EXPECT_FALSE(Endpoint().Bind(std::string(200, 'x'))) << "too long for a socket address";
}

TEST_F(EndpointTest, AbsentAndStaleEndpoints) {
  EXPECT_FALSE(EndpointExists("QV_NVRAPP"));
  EXPECT_FALSE(PostToEndpoint("QV_NVRAPP", 1, 2, 3));

  const std::string path = qvp::RuntimePath("QV_NVRAPP", ".sock");
  LeaveStaleSocket(path);
  ASSERT_TRUE(Exists(path));
  EXPECT_FALSE(PostToEndpoint("QV_NVRAPP", 1, 2, 3));
  EXPECT_FALSE(EndpointExists("QV_NVRAPP"));
  EXPECT_FALSE(Exists(path)) << "the stale file is removed";

  LeaveStaleSocket(path);
  Endpoint app;
  EXPECT_TRUE(app.Bind("QV_NVRAPP")) << "a stale file is replaced";
  app.Close();
  EXPECT_FALSE(Exists(path)) << "closing removes the file";
}

TEST_F(EndpointTest, ClosingNeverRemovesSomeoneElsesEndpoint) {
  Endpoint first;
  ASSERT_TRUE(first.Bind("QV_NVRAPP"));
  unlink(qvp::RuntimePath("QV_NVRAPP", ".sock").c_str());  // e.g. a clean-up of the folder
  Endpoint second;
  ASSERT_TRUE(second.Bind("QV_NVRAPP"));
  first.Close();
  EXPECT_TRUE(EndpointExists("QV_NVRAPP"));
}

TEST_F(EndpointTest, OneInstancePerName) {
  std::optional<qvp::InstanceLock> first = qvp::TryAcquireInstance("QV_NVR");
  ASSERT_TRUE(first);
  EXPECT_FALSE(qvp::TryAcquireInstance("QV_NVR")) << "a second open is refused";
  EXPECT_TRUE(qvp::TryAcquireInstance("QV_NVR Replay")) << "other names are independent";

  const auto child_gets_lock = [] {
    const pid_t pid = fork();
    if (pid == 0) _exit(qvp::TryAcquireInstance("QV_NVR") ? 0 : 1);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  EXPECT_FALSE(child_gets_lock()) << "another process is refused";
  first.reset();
  EXPECT_TRUE(child_gets_lock()) << "released with its owner";
  EXPECT_TRUE(qvp::TryAcquireInstance("QV_NVR"));
}

}  // namespace
