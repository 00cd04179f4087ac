// Connects the bridge's MQTT client to 127.0.0.1:<port> under <prefix> and
// then does nothing until it is killed: the tests kill it to see the broker
// publish its last will.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "bridge/MqttClient.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    kestrane::bridge::MqttSettings settings;
    settings.port = std::atoi(argv[1]);
    settings.topicPrefix = argv[2];
    kestrane::bridge::MqttClient client(settings, nullptr, nullptr);
    std::string error;
    if (!client.Start(&error)) return 1;
    for (;;)
        ::pause();
}
