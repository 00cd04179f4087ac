#include "bridge/BridgeLog.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace kestrane::bridge {

namespace {

std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(std::string_view)>& Receiver() {
    static std::function<void(std::string_view)> receiver;
    return receiver;
}

}  // namespace

void BridgeLog(std::string_view line) {
    const std::lock_guard lock(LogMutex());
    if (Receiver()) {
        Receiver()(line);
        return;
    }
    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void DivertBridgeLog(std::function<void(std::string_view)> receiver) {
    const std::lock_guard lock(LogMutex());
    Receiver() = std::move(receiver);
}

}  // namespace kestrane::bridge
