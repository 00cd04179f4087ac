#include "mqtt/MosquittoBroker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support/ProgramRun.h"

namespace kestrane::testing {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on right now: the kernel picks one for a bound socket.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

MosquittoBroker::MosquittoBroker() : dir_("kestrane-broker"), port_(FreePort()) {}

void MosquittoBroker::RequireLogin(const std::string& user, const std::string& password) {
    passwordFile_ = dir_.Slashed() + "passwords";
    RunProgram("mosquitto_passwd -b -c " + passwordFile_ + " " + user + " " + password);
}

bool MosquittoBroker::Start(std::string* error) {
    const std::string config = dir_.Slashed() + "mosquitto.conf";
    {
        std::ofstream out(config);
        out << "listener " << port_ << " 127.0.0.1\n"
            << "persistence false\n";
        // Started by root, mosquitto would become user "mosquitto" and could
        // not read the scratch directory.
        if (const passwd* me = ::getpwuid(::getuid())) out << "user " << me->pw_name << "\n";
        if (passwordFile_.empty())
            out << "allow_anonymous true\n";
        else
            out << "allow_anonymous false\npassword_file " << passwordFile_ << "\n";
    }
    if (!process_.Start({KESTRANE_MOSQUITTO_EXE, "-c", config}, dir_.Slashed() + "broker.log")) {
        *error = "cannot start mosquitto";
        return false;
    }
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (Accepts(port_)) return true;
        if (process_.Ended()) {
            *error = "mosquitto ended: " + Log();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    *error = "mosquitto does not accept on port " + std::to_string(port_) + ": " + Log();
    return false;
}

void MosquittoBroker::Kill() {
    process_.Stop(SIGKILL);
}

void MosquittoBroker::Freeze() {
    process_.Signal(SIGSTOP);
}

void MosquittoBroker::Thaw() {
    process_.Signal(SIGCONT);
}

std::string MosquittoBroker::Log() const {
    return ReadWholeFile(dir_.Slashed() + "broker.log");
}

}  // namespace kestrane::testing
