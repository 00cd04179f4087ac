// The [web] table of the bridge's config: defaults, every key, and the
// one-line error of each way it can be wrong.
#include <gtest/gtest.h>

#include <fstream>

#include "bridge/BridgeConfig.h"
#include "support/ScratchDir.h"
#include "web/PasswordHash.h"

namespace kestrane::bridge {
namespace {

const std::string kBus = "[[bus]]\nport = \"/dev/ttyUSB0\"\ndevices = [ { address = 1 } ]\n";

ConfigLoad Parse(const std::string& web) {
    return ParseBridgeConfig(web + kBus, "bridge.toml");
}

TEST(WebConfig, AbsentMeansNoServerAndAnEmptyTableMeansDefaults) {
    EXPECT_FALSE(Parse("").config->web);
    const ConfigLoad load = Parse("[web]\n");
    ASSERT_TRUE(load.config) << load.error;
    ASSERT_TRUE(load.config->web);
    EXPECT_EQ(load.config->web->listen, "0.0.0.0:8080");
    EXPECT_TRUE(load.config->web->readOpen);
    EXPECT_EQ(load.config->web->maxConnections, 64);
    EXPECT_EQ(load.config->web->maxPerAddress, 16);
}

TEST(WebConfig, EveryKey) {
    const testing::ScratchDir dir("kestrane-web-tls");
    const std::string cert = dir.Slashed() + "cert.pem", key = dir.Slashed() + "key.pem";
    std::ofstream(cert) << "x";
    std::ofstream(key) << "x";
    const std::string hash = *web::HashPassword("pw", web::HashCost{1, 64, 1});
    const ConfigLoad load = Parse(
        "[web]\nlisten = \"[::]:8443\"\nread_access = \"password\"\n"
        "viewer_password_hash = \"" +
        hash + "\"\nadmin_password_hash = \"" + hash + "\"\ntls_cert_file = \"" + cert +
        "\"\ntls_key_file = \"" + key + "\"\nmax_connections = 32\nmax_per_address = 4\n");
    ASSERT_TRUE(load.config) << load.error;
    const WebConfig& w = *load.config->web;
    EXPECT_EQ(w.listen, "[::]:8443");
    EXPECT_FALSE(w.readOpen);
    EXPECT_EQ(w.viewerPasswordHash, hash);
    EXPECT_EQ(w.adminPasswordHash, hash);
    EXPECT_EQ(w.tlsCertFile, cert);
    EXPECT_EQ(w.tlsKeyFile, key);
    EXPECT_EQ(w.maxConnections, 32);
    EXPECT_EQ(w.maxPerAddress, 4);
}

TEST(WebConfig, MistakesNameFileLineAndKey) {
    const struct {
        const char* table;
        const char* error;
    } kCases[] = {
        {"[web]\nport = 80\n", "bridge.toml:2: web.port: unknown key"},
        {"[web]\nlisten = \"8080\"\n", "bridge.toml:2: web.listen: must be host:port"},
        {"[web]\nlisten = \"0.0.0.0:70000\"\n", "bridge.toml:2: web.listen:"},
        {"[web]\nlisten = \"::1:80\"\n", "bridge.toml:2: web.listen:"},
        {"[web]\nread_access = \"closed\"\n", "bridge.toml:2: web.read_access: must be"},
        {"[web]\nread_access = \"password\"\n",
         "bridge.toml:2: web.viewer_password_hash: needed when"},
        {"[web]\nadmin_password_hash = \"hunter2\"\n",
         "bridge.toml:2: web.admin_password_hash: must be an Argon2id hash"},
        {"[web]\nviewer_password_hash = "
         "\"$argon2i$v=19$m=64,t=1,p=1$c29tZXNhbHQ$aGFzaGhhc2hoYXNoaGFzaA\"\n",
         "bridge.toml:2: web.viewer_password_hash: must be an Argon2id hash"},
        {"[web]\ntls_cert_file = \"/etc/ssl/cert.pem\"\n",
         "bridge.toml:1: web.tls_key_file: TLS needs both"},
        {"[web]\ntls_cert_file = \"/nonexistent/c\"\ntls_key_file = \"/nonexistent/k\"\n",
         "bridge.toml:2: web.tls_cert_file: cannot read"},
        {"[web]\nmax_connections = 0\n", "bridge.toml:2: web.max_connections: must be 1..1024"},
        {"[web]\nmax_per_address = 100\n", "bridge.toml:2: web.max_per_address: must not be"},
        {"web = 1\n", "bridge.toml:1: web: must be a table"},
    };
    for (const auto& c : kCases) {
        const ConfigLoad load = Parse(c.table);
        EXPECT_FALSE(load.config) << c.table;
        EXPECT_EQ(load.error.rfind(c.error, 0), 0u) << c.table << " gave " << load.error;
    }
}

}  // namespace
}  // namespace kestrane::bridge
