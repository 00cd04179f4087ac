// The bridge's TOML configuration: what a good file gives, and the one-line
// error, naming file, line and key, of each way a file can be wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "bridge/BridgeConfig.h"
#include "support/ScratchDir.h"

namespace kestrane::bridge {
namespace {

// Every key once; the CA file must exist.
std::string FullConfig(const std::string& caFile) {
    return R"(poll_interval_s = 2.5
clock_source = "local"
[mqtt]
host = "broker.local"
port = 8883
client_id = "kestrane-shed"
username = "solar"
tls_ca_file = ")" +
           caFile + R"("
topic_prefix = "shed/kestrane"
discovery_prefix = "homeassistant"
[[bus]]
port = "/dev/serial/by-id/usb-FTDI-if00-port0"
baud = 19200
response_timeout_ms = 500
retries = 1
inter_request_gap_ms = 30
turnaround_ms = 5
devices = [ { address = 1, name = "Shed east" }, { address = 2, allow_control = true } ]
[[bus]]
port = "tcp://192.168.1.40:502"
devices = [ { address = 7, name = "Pump house" } ]
)";
}

TEST(BridgeConfig, FullFileGivesEveryValue) {
    const testing::ScratchDir dir("kestrane-bridge-ca");
    const std::string ca = dir.Slashed() + "ca.pem";
    std::ofstream(ca) << "-----BEGIN CERTIFICATE-----\n";
    const ConfigLoad load = ParseBridgeConfig(FullConfig(ca), "bridge.toml");
    ASSERT_TRUE(load.config) << load.error;
    const BridgeConfig& c = *load.config;
    EXPECT_DOUBLE_EQ(c.pollIntervalS, 2.5);
    EXPECT_EQ(c.clockSource, ClockSource::kLocal);
    ASSERT_TRUE(c.mqtt);
    EXPECT_EQ(c.mqtt->host, "broker.local");
    EXPECT_EQ(c.mqtt->port, 8883);
    EXPECT_EQ(c.mqtt->clientId, "kestrane-shed");
    EXPECT_EQ(c.mqtt->username, "solar");
    EXPECT_EQ(c.mqtt->tlsCaFile, ca);
    EXPECT_EQ(c.mqtt->topicPrefix, "shed/kestrane");
    ASSERT_EQ(c.buses.size(), 2u);
    const BusConfig& first = c.buses[0];
    EXPECT_EQ(first.baud, 19200u);
    EXPECT_EQ(first.responseTimeoutMs, 500);
    EXPECT_EQ(first.retries, 1);
    EXPECT_EQ(first.interRequestGapMs, 30);
    EXPECT_EQ(first.turnaroundMs, 5);
    ASSERT_EQ(first.devices.size(), 2u);
    EXPECT_EQ(first.devices[0].name, "Shed east");
    EXPECT_FALSE(first.devices[0].allowControl);
    EXPECT_EQ(first.devices[1].name, "Controller 2");
    EXPECT_TRUE(first.devices[1].allowControl);
    // Defaults of a bus that names only its port and devices.
    const BusConfig& second = c.buses[1];
    EXPECT_EQ(second.port, "tcp://192.168.1.40:502");
    EXPECT_EQ(second.baud, 9600u);
    EXPECT_EQ(second.responseTimeoutMs, 300);
    EXPECT_EQ(second.retries, 2);
    EXPECT_TRUE(load.warnings.empty());
}

TEST(BridgeConfig, WithoutMqttTableThereIsNoBroker) {
    const ConfigLoad load = ParseBridgeConfig(
        "[[bus]]\nport = \"/dev/ttyUSB0\"\ndevices = [ { address = 3 } ]\n", "b.toml");
    ASSERT_TRUE(load.config) << load.error;
    EXPECT_FALSE(load.config->mqtt);
    EXPECT_DOUBLE_EQ(load.config->pollIntervalS, 5);
    EXPECT_EQ(load.config->clockSource, ClockSource::kNetwork);
}

struct BadConfig {
    std::string text;
    const char* error;  // the whole message
};

constexpr const char* kBus = "[[bus]]\nport = \"/dev/ttyUSB0\"\n";

TEST(BridgeConfig, EachBadFileGivesItsOneLineError) {
    const std::string bus = kBus;
    const BadConfig cases[] = {
        {"pol_interval_s = 5\n", "b.toml:1: pol_interval_s: unknown key"},
        {"poll_interval_s = -1\n", "b.toml:1: poll_interval_s: must be 0..86400"},
        {"poll_interval_s = \"5\"\n", "b.toml:1: poll_interval_s: must be a number of seconds"},
        {"poll_interval_s = 5\n", "b.toml:1: bus: no [[bus]] table: nothing to poll"},
        {"clock_source = \"rtc\"\n",
         "b.toml:1: clock_source: must be \"network\" (the clock is set by network time after "
         "boot) or \"local\" (a real-time clock keeps it), not \"rtc\""},
        {"clock_source = true\n", "b.toml:1: clock_source: must be a string"},
        {"[mqtt]\nhost = \"h\"\nport = 70000\n",
         "b.toml:3: mqtt.port: must be 1..65535, not 70000"},
        {"[mqtt]\nhots = \"h\"\n", "b.toml:2: mqtt.hots: unknown key"},
        {"[mqtt]\ntopic_prefix = \"a/#\"\n",
         "b.toml:2: mqtt.topic_prefix: must be a topic without wildcards or a leading or "
         "trailing '/'"},
        {"[mqtt]\npassword = \"x\"\npassword_file = \"/p\"\n",
         "b.toml:2: mqtt.password: give either password or password_file"},
        {"[mqtt]\ntls_ca_file = \"/nonexistent/ca.pem\"\n",
         "b.toml:2: mqtt.tls_ca_file: cannot read /nonexistent/ca.pem"},
        {"[mqtt]\npassword_file = \"/nonexistent/kestrane.pass\"\n",
         "b.toml:2: mqtt.password_file: cannot read /nonexistent/kestrane.pass"},
        {"[[bus]]\ndevices = [ { address = 1 } ]\n", "b.toml:1: bus[0].port: missing"},
        {"[[bus]]\nport = 5\ndevices = [ { address = 1 } ]\n",
         "b.toml:2: bus[0].port: must be a string"},
        {bus, "b.toml:1: bus[0].devices: missing"},
        {(bus + "devices = []\n"),
         "b.toml:3: bus[0].devices: must be a list of { address = N, name = \"...\" }"},
        {(bus + "baud = 9600.5\ndevices = [ { address = 1 } ]\n"),
         "b.toml:3: bus[0].baud: must be a whole number"},
        {(bus + "retries = 11\ndevices = [ { address = 1 } ]\n"),
         "b.toml:3: bus[0].retries: must be 0..10, not 11"},
        {(bus + "parity = \"N\"\ndevices = [ { address = 1 } ]\n"),
         "b.toml:3: bus[0].parity: unknown key"},
        {(bus + "devices = [ { address = 0 } ]\n"),
         "b.toml:3: bus[0].devices[0].address: must be 1..247, not 0"},
        {(bus + "devices = [ { name = \"x\" } ]\n"),
         "b.toml:3: bus[0].devices[0].address: missing"},
        {(bus + "devices = [ { address = 1, allow_control = \"yes\" } ]\n"),
         "b.toml:3: bus[0].devices[0].allow_control: must be true or false"},
        {(bus + "devices = [ { address = 1, adress = 2 } ]\n"),
         "b.toml:3: bus[0].devices[0].adress: unknown key"},
        {(bus + "devices = [\n  { address = 4 },\n  { address = 4, name = \"twin\" },\n]\n"),
         "b.toml:5: bus[0].devices[1].address: address 4 is already used on this bus"},
        {bus + "devices = [ { address = 1 } ]\n" + bus + "devices = [ { address = 2 } ]\n",
         "b.toml:5: bus[1].port: the same port as bus[0]"},
        {"[[bus]\n", nullptr},  // a syntax error: checked below by its prefix
    };
    for (const BadConfig& c : cases) {
        const ConfigLoad load = ParseBridgeConfig(c.text, "b.toml");
        EXPECT_FALSE(load.config) << c.text;
        EXPECT_EQ(load.error.find('\n'), std::string::npos) << load.error;
        if (c.error != nullptr)
            EXPECT_EQ(load.error, c.error) << c.text;
        else
            EXPECT_EQ(load.error.rfind("b.toml:1: syntax: ", 0), 0u) << load.error;
    }
}

TEST(BridgeConfig, TheSameAddressOnTwoBusesIsFine) {
    const std::string text = std::string(kBus) + "devices = [ { address = 1 } ]\n" +
                             "[[bus]]\nport = \"tcp://h:502\"\ndevices = [ { address = 1 } ]\n";
    const ConfigLoad load = ParseBridgeConfig(text, "b.toml");
    EXPECT_TRUE(load.config) << load.error;
}

class PasswordFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text, mode_t mode) {
        const std::string path = dir_.Slashed() + name;
        std::ofstream(path) << text;
        ::chmod(path.c_str(), mode);
        return path;
    }
    testing::ScratchDir dir_{"kestrane-bridge-config"};
};

TEST_F(PasswordFiles, PrivateFileGivesItsFirstLineWithoutWarning) {
    const std::string pass = Write("mqtt.pass", "s3cret\nignored\n", 0600);
    const ConfigLoad load = ParseBridgeConfig(
        "[mqtt]\npassword_file = \"" + pass + "\"\n" + kBus + "devices = [ { address = 1 } ]\n",
        "b.toml");
    ASSERT_TRUE(load.config) << load.error;
    EXPECT_EQ(load.config->mqtt->password, "s3cret");
    EXPECT_TRUE(load.warnings.empty());
}

TEST_F(PasswordFiles, WorldReadablePasswordsAreWarnedAbout) {
    const std::string pass = Write("mqtt.pass", "s3cret\n", 0644);
    const ConfigLoad viaFile = ParseBridgeConfig(
        "[mqtt]\npassword_file = \"" + pass + "\"\n" + kBus + "devices = [ { address = 1 } ]\n",
        "b.toml");
    ASSERT_TRUE(viaFile.config) << viaFile.error;
    ASSERT_EQ(viaFile.warnings.size(), 1u);
    EXPECT_EQ(viaFile.warnings[0].rfind("b.toml:2: mqtt.password_file: " + pass, 0), 0u)
        << viaFile.warnings[0];

    const std::string config = Write(
        "bridge.toml",
        std::string("[mqtt]\npassword = \"s3cret\"\n") + kBus + "devices = [ { address = 1 } ]\n",
        0644);
    const ConfigLoad inline_ = LoadBridgeConfig(config);
    ASSERT_TRUE(inline_.config) << inline_.error;
    EXPECT_EQ(inline_.config->mqtt->password, "s3cret");
    ASSERT_EQ(inline_.warnings.size(), 1u);
    EXPECT_EQ(inline_.warnings[0].rfind(config + ":2: mqtt.password: ", 0), 0u)
        << inline_.warnings[0];

    ::chmod(config.c_str(), 0600);
    EXPECT_TRUE(LoadBridgeConfig(config).warnings.empty());
}

TEST_F(PasswordFiles, EnvironmentPasswordWinsOverTheFile) {
    const std::string pass = Write("mqtt.pass", "from-file\n", 0600);
    const ConfigLoad load = ParseBridgeConfig(
        "[mqtt]\npassword_file = \"" + pass + "\"\n" + kBus + "devices = [ { address = 1 } ]\n",
        "b.toml", std::string("from-env"));
    ASSERT_TRUE(load.config) << load.error;
    EXPECT_EQ(load.config->mqtt->password, "from-env");
}

// As a systemd service the bridge's own user cannot open the root-only file;
// systemd's copy of it in $CREDENTIALS_DIRECTORY is read instead, and an empty
// copy (the unit's default when the file is missing) still fails as before.
TEST_F(PasswordFiles, ServiceCredentialStandsInForAFileItCannotOpen) {
    const std::string credentials = dir_.Slashed() + "credentials";
    ::mkdir(credentials.c_str(), 0700);
    const std::string text = "[mqtt]\npassword_file = \"/nonexistent/kestrane/mqtt.pass\"\n" +
                             std::string(kBus) + "devices = [ { address = 1 } ]\n";
    ::setenv("CREDENTIALS_DIRECTORY", credentials.c_str(), 1);
    Write("credentials/mqtt.pass", "", 0600);
    EXPECT_EQ(ParseBridgeConfig(text, "b.toml").error,
              "b.toml:2: mqtt.password_file: cannot read /nonexistent/kestrane/mqtt.pass");
    Write("credentials/mqtt.pass", "handed-over\n", 0600);
    const ConfigLoad load = ParseBridgeConfig(text, "b.toml");
    ::unsetenv("CREDENTIALS_DIRECTORY");
    ASSERT_TRUE(load.config) << load.error;
    EXPECT_EQ(load.config->mqtt->password, "handed-over");
    EXPECT_FALSE(ParseBridgeConfig(text, "b.toml").config);
}

TEST(BridgeConfig, MissingFileNamesIt) {
    const ConfigLoad load = LoadBridgeConfig("/nonexistent/bridge.toml");
    EXPECT_FALSE(load.config);
    EXPECT_EQ(load.error, "/nonexistent/bridge.toml:0: file: cannot be read");
}

TEST(BridgeConfig, ExampleConfigIsValid) {
    const ConfigLoad load = LoadBridgeConfig(KESTRANE_EXAMPLE_CONFIG);
    ASSERT_TRUE(load.config) << load.error;
    EXPECT_FALSE(load.config->buses.empty());
}

}  // namespace
}  // namespace kestrane::bridge
