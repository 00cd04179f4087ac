#include "mqtt/MosquittoBroker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/ProgramRun.h"

extern char** environ;

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

MosquittoBroker::~MosquittoBroker() {
    Kill();
}

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
    const std::string log = dir_.Slashed() + "broker.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string program = KESTRANE_MOSQUITTO_EXE, flag = "-c";
    char* argv[] = {program.data(), flag.data(), const_cast<char*>(config.c_str()), nullptr};
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        *error = "cannot start mosquitto";
        return false;
    }
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (Accepts(port_)) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            *error = "mosquitto ended: " + Log();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    *error = "mosquitto does not accept on port " + std::to_string(port_) + ": " + Log();
    return false;
}

void MosquittoBroker::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::kill(pid_, SIGCONT);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

void MosquittoBroker::Freeze() {
    if (pid_ > 0) ::kill(pid_, SIGSTOP);
}

void MosquittoBroker::Thaw() {
    if (pid_ > 0) ::kill(pid_, SIGCONT);
}

std::string MosquittoBroker::Log() const {
    std::ifstream in(dir_.Slashed() + "broker.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kestrane::testing
