// The recorder's command line: the "-watchdog" / "-autorun" rule and the modes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nvr/app/command_line.h"

namespace {

TEST(CommandLineTest, OnlyTheExactArgumentStringSetsAFlag) {
  struct Case {
    std::vector<std::string> args;
    bool watchdog;
    bool autorun;
  };
  const std::vector<Case> cases = {
      {{"-watchdog"}, true, false},
      {{"-autorun"}, false, true},
      {{"-watchdog "}, false, false},
      {{"-autorun", "x"}, false, false},
      {{"-watchdog", ""}, false, false},  // "-watchdog " once joined
      {{"-Watchdog"}, false, false},
      {{}, false, false},
  };
  for (const Case& c : cases) {
    const nvrapp::StartFlags f = nvrapp::ParseStartFlags(nvrapp::JoinArguments(c.args, 0));
    EXPECT_EQ(f.watchdog, c.watchdog) << nvrapp::JoinArguments(c.args, 0);
    EXPECT_EQ(f.autorun, c.autorun) << nvrapp::JoinArguments(c.args, 0);
  }
  // The service applies the rule to what follows "-service".
  const std::vector<std::string> service = {"-service", "-watchdog"};
  EXPECT_EQ(nvrapp::ModeOf(service), nvrapp::ProgramMode::kService);
  EXPECT_TRUE(nvrapp::ParseStartFlags(nvrapp::JoinArguments(service, 1)).watchdog);
}

}  // namespace
