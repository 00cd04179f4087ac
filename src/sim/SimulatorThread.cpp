#include "sim/SimulatorThread.h"

#include "sim/PtyEndpoint.h"
#include "sim/RegistersFile.h"
#include "sim/TcpEndpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace kestrane::sim {

namespace {

constexpr int kIdlePollMs = 10;
constexpr int kWriteTimeoutMs = 200;
constexpr int kHangupDrainMs = 500;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double NowMs() {
    return NowNs() / 1e6;
}

// Silence that ends a frame: three and a half characters of ten bits, but not
// less than 20 ms, since a pseudo-terminal delivers bytes in bursts.
double FrameGapMs(unsigned baud) {
    return std::max(20.0, 3.5 * 10 * 1000.0 / std::max(1u, baud));
}

std::unique_ptr<SimEndpoint> MakeEndpoint(const SimulatorOptions& options) {
    if (options.tcpListenPort >= 0)
        return std::make_unique<TcpEndpoint>(options.tcpListenHost, options.tcpListenPort);
    return std::make_unique<PtyEndpoint>(options.linkPath);
}

}  // namespace

SimulatorThread::SimulatorThread(SimulatorOptions options)
    : options_(std::move(options)),
      timing_(options_.baud, options_.turnaroundMs),
      deviceCount_(BusAddresses(options_).size()),
      bus_(options_),
      framer_(FrameGapMs(options_.baud)),
      strictLine_(options_.baud, 0x4C494E45ULL + options_.seed),
      endpoint_(MakeEndpoint(options_)) {}

SimulatorThread::~SimulatorThread() {
    Stop();
    for (int& fd : wake_) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

bool SimulatorThread::Start(std::string* error) {
    if (thread_.joinable() || running_) {
        *error = "already started";
        return false;
    }
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    // Written before the line opens, so whoever finds the line finds the file.
    if (!options_.registersFile.empty() && !SaveRegisters()) {
        *error = "cannot write " + options_.registersFile + ": " + std::strerror(errno);
        return false;
    }
    if (!endpoint_->Open(error)) return false;
    lastStepNs_ = NowNs();
    running_ = true;
    thread_ = std::thread(&SimulatorThread::Run, this);
    return true;
}

void SimulatorThread::Stop() {
    stop_ = true;
    if (wake_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(wake_[1], &byte, 1);
    }
    if (thread_.joinable()) thread_.join();
    running_ = false;
    endpoint_->Close();
}

uint64_t SimulatorThread::RequestCount(size_t index) const {
    std::lock_guard lock(mutex_);
    return bus_.Requests(index);
}

int SimulatorThread::Address(size_t index) const {
    std::lock_guard lock(mutex_);
    return bus_.Device(index).Address();
}

SimDateTime SimulatorThread::Clock(size_t index) const {
    std::lock_guard lock(mutex_);
    return bus_.Device(index).Model().Clock();
}

std::vector<uint16_t> SimulatorThread::Registers(uint16_t start, int count) const {
    return Registers(size_t{0}, start, count);
}

std::vector<uint16_t> SimulatorThread::Registers(size_t index, uint16_t start, int count) const {
    std::lock_guard lock(mutex_);
    std::vector<uint16_t> out;
    for (int i = 0; i < count; ++i)
        out.push_back(bus_.Device(index).Bank().Get(static_cast<uint16_t>(start + i)));
    return out;
}

void SimulatorThread::WithDevice(const std::function<void(SimDevice&)>& action) {
    WithDevice(0, action);
}

void SimulatorThread::WithDevice(size_t index, const std::function<void(SimDevice&)>& action) {
    std::lock_guard lock(mutex_);
    action(bus_.Device(index));
}

void SimulatorThread::AdvanceClock() {
    const int64_t now = NowNs();
    const double realSeconds = (now - lastStepNs_) / 1e9;
    lastStepNs_ = now;
    if (options_.daySeconds > 0) bus_.Advance(realSeconds * 86400.0 / options_.daySeconds);
}

void SimulatorThread::Run() {
    uint8_t buffer[512];
    while (!stop_) {
        int timeout = kIdlePollMs;
        if (const double deadline = framer_.GapDeadline(); deadline >= 0)
            timeout = std::clamp(static_cast<int>(std::ceil(deadline - NowMs())), 1, kIdlePollMs);
        pollfd fds[2] = {{endpoint_->Fd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        poll(fds, 2, timeout);
        if (stop_) break;
        for (long n; (n = endpoint_->Read(buffer, sizeof buffer)) > 0;) {
            if (options_.echo) endpoint_->Write(buffer, static_cast<size_t>(n), kWriteTimeoutMs);
            framer_.Feed(buffer, static_cast<size_t>(n), NowMs());
        }
        while (auto frame = framer_.Next(NowMs())) {
            std::vector<Transmission> out;
            {
                std::lock_guard lock(mutex_);
                AdvanceClock();
                out = Answer(*frame);
                requests_ = bus_.Requests();
            }
            if (!Send(ScheduleReply(out, *frame, NowMs(), options_.pace ? &timing_ : nullptr)))
                return;
            // After the reply, so the file never holds it back. A file that
            // cannot be replaced now is tried again after the next write.
            if (!options_.registersFile.empty()) SaveRegisters();
            if (options_.hangupAfter > 0 &&
                requests_ >= static_cast<uint64_t>(options_.hangupAfter)) {
                HangUp();
                return;
            }
        }
        std::lock_guard lock(mutex_);
        AdvanceClock();
    }
}

std::vector<Transmission> SimulatorThread::Answer(const RtuFrame& frame) {
    if (!options_.strictLine) return bus_.Handle(frame);
    const std::optional<LineSettings> line = ReadLineSettings(endpoint_->Fd());
    if (line && LineMatches(*line, options_.baud)) return bus_.Handle(frame);
    // Not understood, so not acted on; the addressed controller's reply
    // arrives as garbage at the program's rate.
    const bool addressed = frame.kind == RtuFrame::Kind::kModbus && !frame.bytes.empty() &&
                           bus_.HasAddress(frame.bytes[0]);
    if (!addressed || !line) return {};
    return strictLine_.Garbled(ReplyLengthFor(frame.bytes), *line, options_.delayMs);
}

void SimulatorThread::HangUp() {
    // Let the client take the last answer before the line drops: closing the
    // master discards what the client has not read yet. The bytes need a
    // moment to reach the client's queue before it can be watched.
    bool waiting = Wait(20);
    for (int waited = 0; waiting && waited < kHangupDrainMs && endpoint_->PendingForClient() > 0;
         waited += 5)
        waiting = Wait(5);
    if (waiting) Wait(20);
    // Publish the state before the line drops, so whoever sees the hangup on
    // the client side also sees the simulator as stopped.
    hungUp_ = true;
    running_ = false;
    endpoint_->Close();
}

bool SimulatorThread::SaveRegisters() {
    // Only Start, before the thread runs, and then the thread itself come
    // here, and only the thread changes the write count.
    int64_t writes = 0;
    std::string json;
    {
        std::lock_guard lock(mutex_);
        writes = static_cast<int64_t>(bus_.Writes());
        if (writes == savedWrites_) return true;
        json = RegistersJson(bus_, BusAddresses(options_));
    }
    if (!WriteRegistersFile(options_.registersFile, json)) return false;
    savedWrites_ = writes;
    return true;
}

bool SimulatorThread::Wait(int ms) {
    return WaitUntil(NowMs() + ms);
}

bool SimulatorThread::WaitUntil(double deadlineMs) {
    // ppoll rather than poll: paced bytes at high rates are a fraction of a
    // millisecond apart.
    for (double left; !stop_ && (left = deadlineMs - NowMs()) > 0;) {
        const auto ns = static_cast<long long>(left * 1e6);
        const timespec wait{static_cast<time_t>(ns / 1000000000),
                            static_cast<long>(ns % 1000000000)};
        pollfd p{wake_[0], POLLIN, 0};
        ppoll(&p, 1, &wait, nullptr);
    }
    return !stop_;
}

bool SimulatorThread::Send(const std::vector<TimedBytes>& plan) {
    // Everything due by the time the thread wakes goes out in one write.
    std::vector<uint8_t> due;
    for (size_t i = 0; i < plan.size();) {
        if (!WaitUntil(plan[i].atMs)) return false;
        due.clear();
        for (const double now = NowMs(); i < plan.size() && plan[i].atMs <= now; ++i)
            due.insert(due.end(), plan[i].bytes.begin(), plan[i].bytes.end());
        endpoint_->Write(due.data(), due.size(), kWriteTimeoutMs);
    }
    return !stop_;
}

}  // namespace kestrane::sim
