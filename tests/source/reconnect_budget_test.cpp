// The attempts a stream source makes: the first is free, every later one uses a retry, and once
// a connection played there is no limit any more.
#include "netclient/stream/reconnect_budget.h"

#include <gtest/gtest.h>

#include <vector>

namespace qvnet {
namespace {

// Attempts made by a source whose every attempt fails (bounded for the unlimited case).
int FailedAttempts(int retry_count, int bound = 50) {
  ReconnectBudget budget(retry_count);
  int attempts = 0;
  do {
    budget.BeginAttempt();
    ++attempts;
  } while (budget.MayRetry() && attempts < bound);
  return attempts;
}

TEST(ReconnectBudgetTest, RetriesAfterTheFirstAttempt) {
  struct Case {
    int retry_count;
    int attempts;
  };
  for (const Case c : {Case{0, 1}, Case{1, 2}, Case{3, 4}, Case{-1, 50}}) {
    EXPECT_EQ(FailedAttempts(c.retry_count), c.attempts) << "retry count " << c.retry_count;
  }
}

TEST(ReconnectBudgetTest, AConnectionThatPlayedLiftsTheLimit) {
  ReconnectBudget budget(1);
  budget.BeginAttempt();
  budget.BeginAttempt();
  EXPECT_FALSE(budget.MayRetry());  // both attempts used
  budget.Connected();
  for (int i = 0; i < 100; ++i) {
    budget.BeginAttempt();
    ASSERT_TRUE(budget.MayRetry()) << i;
  }
  EXPECT_EQ(budget.Remaining(), ReconnectBudget::kUnlimited);
}

}  // namespace
}  // namespace qvnet
