#include "platform/jthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <utility>

#include "platform/sync.h"
#include "platform/tick_clock.h"

namespace {

// Runs a std::function as its body; stops and joins in its own destructor, as derived
// classes must.
class FnThread : public qvp::JThread {
 public:
  explicit FnThread(std::function<void(FnThread&)> body) : body_(std::move(body)) {}
  ~FnThread() override {
    RequestStop();
    Join();
  }

 protected:
  void Thread() override { body_(*this); }

 private:
  std::function<void(FnThread&)> body_;
};

TEST(JThreadTest, StartRejectsSecondStartUntilBodyEndsThenRestarts) {
  qvp::Event release(true, false);
  std::atomic<int> runs{0};
  FnThread t([&](FnThread&) {
    ++runs;
    release.Wait(5000);
  });
  ASSERT_EQ(t.Start(), qvp::JThread::kStarted);
  EXPECT_TRUE(t.IsRunning());
  EXPECT_EQ(t.Start(), qvp::JThread::kAlreadyRunning);
  release.Set();
  t.Join();
  EXPECT_FALSE(t.IsRunning());
  // An ended body can be started again without an explicit Join in between.
  ASSERT_EQ(t.Start(), qvp::JThread::kStarted);
  t.Join();
  EXPECT_EQ(runs.load(), 2);
}

// The base destructor's last resort: a running body that polls StopRequested() ends and is
// joined. The body is already inside Thread() and afterwards touches only locals and the base.
class PollingThread : public qvp::JThread {
 public:
  PollingThread(qvp::Event* entered, std::atomic<bool>* finished) : entered_(entered), finished_(finished) {}

 protected:
  void Thread() override {
    std::atomic<bool>* finished = finished_;
    entered_->Set();
    while (!StopRequested()) qvp::SleepMs(1);
    finished->store(true);
  }

 private:
  qvp::Event* entered_;
  std::atomic<bool>* finished_;
};

TEST(JThreadTest, BaseDestructorRequestsStopAndJoinsRunningBody) {
  qvp::Event entered(true, false);
  std::atomic<bool> finished{false};
  {
    PollingThread t(&entered, &finished);
    ASSERT_EQ(t.Start(), qvp::JThread::kStarted);
    ASSERT_TRUE(entered.Wait(5000));
  }
  EXPECT_TRUE(finished.load());
}

// An owner blocked in Join() holds the start lock; the body calling Join()/Start() on itself
// must not wait for it.
TEST(JThreadTest, JoinAndStartFromOwnBodyReturnAtOnce) {
  qvp::Event owner_joining(true, false);
  std::atomic<int> start_from_body{0};
  FnThread t([&](FnThread& self) {
    owner_joining.Wait(5000);
    qvp::SleepMs(20);  // let the owner get inside Join()
    self.Join();
    start_from_body = self.Start();
  });
  ASSERT_EQ(t.Start(), qvp::JThread::kStarted);
  owner_joining.Set();
  t.Join();
  EXPECT_EQ(start_from_body.load(), qvp::JThread::kAlreadyRunning);
}

TEST(JThreadTest, ThrowingBodyEndsOnlyItsThread) {
  FnThread t([](FnThread&) { throw std::runtime_error("body failed"); });
  ASSERT_EQ(t.Start(), qvp::JThread::kStarted);
  t.Join();
  EXPECT_FALSE(t.IsRunning());
}

}  // namespace
