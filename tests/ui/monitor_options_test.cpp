// The command line of kestrane-monitor.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/MonitorOptions.h"

namespace kestrane {
namespace {

using Action = MonitorOptions::Action;

TEST(MonitorOptionsTest, PortsLogFolderAndDemoLandInTheirFields) {
    const MonitorOptions options = ParseMonitorOptions(
        {"--port", "/dev/pts/3", "--log-dir", "/tmp/logs", "--demo", "--port", "ttyUSB0"});
    EXPECT_EQ(options.action, Action::kRun);
    EXPECT_EQ(options.ports, (std::vector<std::string>{"/dev/pts/3", "ttyUSB0"}));
    EXPECT_EQ(options.logDir, "/tmp/logs");
    EXPECT_TRUE(options.demo);

    const MonitorOptions none = ParseMonitorOptions({});
    EXPECT_EQ(none.action, Action::kRun);
    EXPECT_TRUE(none.logDir.empty());
}

// Before the toolkit has taken its own options off the line they look
// unknown; --help and --version must answer all the same.
TEST(MonitorOptionsTest, HelpAndVersionWinOverEverythingElse) {
    struct Case {
        std::vector<std::string> args;
        Action expected;
    };
    const Case cases[] = {
        {{"-platform", "offscreen", "--version"}, Action::kVersion},
        {{"--bogus", "--help"}, Action::kHelp},
        {{"--help", "--version"}, Action::kHelp},
        {{"-h"}, Action::kHelp},
        {{"--log-dir", "x", "--version"}, Action::kVersion},
    };
    for (const Case& c : cases) {
        const MonitorOptions options = ParseMonitorOptions(c.args);
        EXPECT_EQ(options.action, c.expected) << c.args.front();
        EXPECT_TRUE(options.ports.empty());
    }
}

TEST(MonitorOptionsTest, MissingValuesAndUnknownOptionsAreErrors) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--port"}, "--port needs a value"},
        {{"--log-dir"}, "--log-dir needs a value"},
        {{"--log-dir", ""}, "--log-dir needs a value"},
        {{"--demo", "--verbose"}, "unknown option --verbose"},
        {{"stray"}, "unknown option stray"},
    };
    for (const Case& c : cases) {
        const MonitorOptions options = ParseMonitorOptions(c.args);
        EXPECT_EQ(options.action, Action::kError) << c.error;
        EXPECT_EQ(options.error, c.error);
    }
}

}  // namespace
}  // namespace kestrane
