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

bool MosquittoBroker::ServeTls(std::string* error) {
    const std::string d = dir_.Slashed();
    const std::string openssl = "openssl req -newkey rsa:2048 -nodes -days 2 ";
    std::ofstream(d + "san.ext") << "subjectAltName=IP:127.0.0.1\n";
    for (const std::string& command :
         {openssl + "-x509 -keyout " + d + "ca.key -out " + d + "ca.crt -subj /CN=KestraneTestCA",
          openssl + "-x509 -keyout " + d + "other-ca.key -out " + d +
              "other-ca.crt -subj /CN=SomeOtherCA",
          openssl + "-keyout " + d + "server.key -out " + d + "server.csr -subj /CN=127.0.0.1",
          "openssl x509 -req -days 2 -in " + d + "server.csr -CA " + d + "ca.crt -CAkey " + d +
              "ca.key -CAcreateserial -extfile " + d + "san.ext -out " + d + "server.crt"}) {
        const ProgramRun run = RunProgram(command);
        if (run.status != 0) {
            *error = command + ": " + run.err;
            return false;
        }
    }
    tlsPort_ = FreePort();
    return true;
}

bool MosquittoBroker::WaitForLog(const std::string& text, int count) const {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string log = Log();
        int found = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++found;
        if (found >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
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
        // Settings after a listener line are that listener's.
        if (tlsPort_ != 0)
            out << "listener " << tlsPort_ << " 127.0.0.1\ncafile " << CaFile() << "\ncertfile "
                << dir_.Slashed() << "server.crt\nkeyfile " << dir_.Slashed() << "server.key\n";
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
