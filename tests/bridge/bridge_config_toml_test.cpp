// The configuration that kestrane-bridge setup writes, read back by the
// bridge's own parser: every value it sets survives, strings that need
// escaping included, and the heading stays a comment.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "bridge/BridgeConfig.h"
#include "bridge/BridgeConfigToml.h"
#include "support/ScratchDir.h"

namespace kestrane::bridge {
namespace {

// The form of an Argon2id encoded hash; the parser checks only the form.
constexpr const char* kHash =
    "$argon2id$v=19$m=65536,t=3,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNoaGFzaGhhc2hoYXNoaGFzaGhh";

BridgeConfig Written(const std::string& passwordFile) {
    BridgeConfig config;
    MqttConfig mqtt;
    mqtt.host = "broker.local";
    mqtt.port = 8883;
    mqtt.username = "solar \"roof\"";
    mqtt.passwordFile = passwordFile;
    config.mqtt = mqtt;
    WebConfig web;
    web.listen = "0.0.0.0:8081";
    web.adminPasswordHash = kHash;
    config.web = web;
    config.history.dir = "/var/lib/kestrane/history";
    BusConfig first;
    first.port = "/dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0";
    first.baud = 19200;
    first.devices = {{7, "KESTRANE-MPPT40A 0042", true}};
    BusConfig second;
    second.port = "/tmp/links/bus two";
    second.devices = {{1, "Shed \\ east \"A\"\tnew\nline", false}, {2, "Ost \u00fcber 2", false}};
    config.buses = {first, second};
    return config;
}

TEST(BridgeConfigToml, WhatSetupWritesReadsBackTheSame) {
    testing::ScratchDir dir{"kestrane-config-toml"};
    const std::string passwordFile = dir.Slashed() + "mqtt.pass";
    std::ofstream(passwordFile) << "secret\n";
    ::chmod(passwordFile.c_str(), 0600);
    const BridgeConfig config = Written(passwordFile);
    const std::string text = BridgeConfigToml(config, "written by setup\n\nsecond line");

    const ConfigLoad load = ParseBridgeConfig(text, "bridge.toml");
    ASSERT_TRUE(load.config) << load.error << "\n" << text;
    EXPECT_TRUE(load.warnings.empty()) << load.warnings.front();
    const BridgeConfig& back = *load.config;
    EXPECT_EQ(back.pollIntervalS, 5);
    ASSERT_TRUE(back.mqtt);
    EXPECT_EQ(back.mqtt->host, "broker.local");
    EXPECT_EQ(back.mqtt->port, 8883);
    EXPECT_EQ(back.mqtt->username, "solar \"roof\"");
    EXPECT_EQ(back.mqtt->passwordFile, passwordFile);
    EXPECT_EQ(back.mqtt->password, "secret");
    ASSERT_TRUE(back.web);
    EXPECT_EQ(back.web->listen, "0.0.0.0:8081");
    EXPECT_TRUE(back.web->readOpen);
    EXPECT_EQ(back.web->adminPasswordHash, kHash);
    EXPECT_EQ(back.history.dir, "/var/lib/kestrane/history");
    EXPECT_EQ(back.history.intervalS, 60);
    ASSERT_EQ(back.buses.size(), 2u);
    for (size_t b = 0; b < 2; ++b) {
        EXPECT_EQ(back.buses[b].port, config.buses[b].port);
        EXPECT_EQ(back.buses[b].baud, config.buses[b].baud);
        ASSERT_EQ(back.buses[b].devices.size(), config.buses[b].devices.size());
        for (size_t d = 0; d < config.buses[b].devices.size(); ++d) {
            EXPECT_EQ(back.buses[b].devices[d].address, config.buses[b].devices[d].address);
            EXPECT_EQ(back.buses[b].devices[d].name, config.buses[b].devices[d].name);
            EXPECT_EQ(back.buses[b].devices[d].allowControl,
                      config.buses[b].devices[d].allowControl);
        }
    }
    // The password itself is only in its file.
    EXPECT_EQ(text.find("secret"), std::string::npos);
    EXPECT_EQ(text.rfind("# written by setup\n#\n# second line\n\n", 0), 0u) << text;
}

TEST(BridgeConfigToml, WithoutMqttAndWebOnlyTheBusesAndHistory) {
    BridgeConfig config;
    BusConfig bus;
    bus.port = "/dev/ttyS0";
    bus.devices = {{247, "Controller 247", false}};
    config.buses = {bus};
    const std::string text = BridgeConfigToml(config);
    const ConfigLoad load = ParseBridgeConfig(text, "bridge.toml");
    ASSERT_TRUE(load.config) << load.error << "\n" << text;
    EXPECT_FALSE(load.config->mqtt);
    EXPECT_FALSE(load.config->web);
    EXPECT_TRUE(load.config->history.dir.empty());
    ASSERT_EQ(load.config->buses.size(), 1u);
    EXPECT_EQ(load.config->buses[0].devices[0].address, 247);
    EXPECT_EQ(text.find("password"), std::string::npos);
}

}  // namespace
}  // namespace kestrane::bridge
