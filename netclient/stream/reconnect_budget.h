// The connection attempts a stream source has left. It starts with the library's retry count
// (-1: without limit): every attempt after the first uses one, and once a connection has
// played the source reconnects without limit. Both stream sources (UDP and TCP) count this way.
#pragma once

namespace qvnet {

class ReconnectBudget {
 public:
  static constexpr int kUnlimited = -1;

  explicit ReconnectBudget(int retry_count) : remaining_(retry_count) {}

  // At the start of every attempt.
  void BeginAttempt() {
    if (!first_ && remaining_ != kUnlimited) --remaining_;
    first_ = false;
  }
  // After a failed attempt: whether another may follow.
  bool MayRetry() const { return remaining_ == kUnlimited || remaining_ > 0; }
  // A connection played.
  void Connected() { remaining_ = kUnlimited; }

  int Remaining() const { return remaining_; }

 private:
  int remaining_;
  bool first_ = true;
};

}  // namespace qvnet
