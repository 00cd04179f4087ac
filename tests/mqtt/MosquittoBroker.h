// A real mosquitto broker on a free port of 127.0.0.1, started by a test and
// stopped with it. It can be killed and started again on the same port, as a
// broker restart looks to its clients.
#pragma once

#include <string>

#include "mqtt/ChildProcess.h"
#include "support/ScratchDir.h"

namespace kestrane::testing {

class MosquittoBroker {
public:
    MosquittoBroker();
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // Only `user` with `password` may connect from the next Start on.
    void RequireLogin(const std::string& user, const std::string& password);

    // From the next Start on, a second listener speaks TLS with a server
    // certificate for 127.0.0.1 signed by CaFile(); OtherCaFile() is a CA
    // that did not sign it. False when the files cannot be made.
    bool ServeTls(std::string* error);
    int TlsPort() const { return tlsPort_; }
    std::string CaFile() const { return dir_.Slashed() + "ca.crt"; }
    std::string OtherCaFile() const { return dir_.Slashed() + "other-ca.crt"; }

    // Waits until at least `count` lines of the broker's log contain `text`.
    bool WaitForLog(const std::string& text, int count) const;

    // Starts the broker and waits until it accepts connections. False, with
    // the reason, when it does not within a few seconds.
    bool Start(std::string* error);
    void Kill();  // SIGKILL: clients see the connection drop
    // SIGSTOP / SIGCONT: the connection stays up but nothing is read.
    void Freeze();
    void Thaw();
    int Port() const { return port_; }
    std::string Log() const;  // what the broker wrote so far

private:
    ScratchDir dir_;
    int port_ = 0;
    ChildProcess process_;
    std::string passwordFile_;
    int tlsPort_ = 0;
};

}  // namespace kestrane::testing
