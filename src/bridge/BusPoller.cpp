#include "bridge/BusPoller.h"

#include <algorithm>
#include <cctype>

#include "bridge/BridgeLog.h"
#include "bridge/BusPollerSlot.h"
#include "bridge/DeviceStateJson.h"
#include "monitor/CEventLog.h"
#include "profile/ProfileJson.h"
#include "protocol/RegisterMap.h"
#include "protocol/TextCodec.h"

namespace kestrane::bridge {

namespace {

using std::chrono::duration;
using std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

constexpr int kIdentityBlock = kIdentityReadCode;
constexpr int kLoadBlock = 6;
constexpr int kRealTimeBlock = 0;
// The blocks a settings profile is made of: battery, lithium, lead-acid, load.
constexpr int kSettingsBlocks[] = {1, 2, 3, 6};

double MillisecondsBetween(IBusClock::TimePoint from, IBusClock::TimePoint to) {
    return duration<double, std::milli>(to - from).count();
}

std::string TrimmedText(const AtomicValue* words, int count) {
    std::string text = TextAsUtf8(WordsToText(words, count));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

void Accumulate(LinkCounters& into, const LinkCounters& from) {
    into.requests += from.requests;
    for (size_t i = 0; i < kBusResultCount; ++i)
        into.results[i] += from.results[i];
}

}  // namespace

std::string SerialDeviceId(const std::string& serialNumber) {
    std::string reduced;
    for (const char c : serialNumber) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) && byte < 0x80)
            reduced += static_cast<char>(std::tolower(byte));
        else if (c == '_' || c == '-')
            reduced += c;
    }
    return reduced.empty() ? std::string() : "sn-" + reduced;
}

std::string BusDeviceId(int busIndex, uint8_t address) {
    return "bus" + std::to_string(busIndex) + "-addr" + std::to_string(address);
}

BusOptions MasterOptions(const BusConfig& bus) {
    BusOptions options;
    options.baud = bus.baud;
    options.responseTimeoutMs = bus.responseTimeoutMs;
    options.retries = bus.retries;
    // The master keeps the line quiet for the frame gap plus this before every
    // request; the configured gap between queries and the turnaround both add
    // to that silence.
    options.turnaroundMs = bus.turnaroundMs + bus.interRequestGapMs;
    return options;
}

BusPoller::BusPoller(int busIndex, BusConfig bus, double pollIntervalS, IUpdateSink& sink,
                     LineOpener opener, PollerTiming timing, DeviceIdRegistry* ids,
                     const IClockSync* clockSync)
    : busIndex_(busIndex),
      bus_(std::move(bus)),
      pollInterval_(static_cast<long long>(pollIntervalS * 1e6)),
      sink_(sink),
      opener_(std::move(opener)),
      timing_(timing),
      ids_(ids),
      clockSync_(clockSync) {
    for (const DeviceConfig& device : bus_.devices) {
        auto slot = std::make_unique<Slot>();
        slot->config = device;
        slot->identity.deviceId = BusDeviceId(busIndex_, device.address);
        slot->identity.name = device.name;
        slot->identity.busPort = bus_.port;
        slot->identity.busIndex = busIndex_;
        slot->identity.address = device.address;
        slot->identity.allowControl = device.allowControl;
        slots_.push_back(std::move(slot));
    }
}

BusPoller::~BusPoller() {
    RequestStop();
    Join();
}

void BusPoller::Start() {
    if (!thread_.joinable()) thread_ = std::thread(&BusPoller::Run, this);
}

void BusPoller::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
}

void BusPoller::Join() {
    if (thread_.joinable()) thread_.join();
}

std::vector<DeviceIdentity> BusPoller::Identities() const {
    std::lock_guard lock(mutex_);
    std::vector<DeviceIdentity> out;
    for (const auto& slot : slots_)
        out.push_back(slot->identity);
    return out;
}

std::string BusPoller::Label() const {
    return "bus " + std::to_string(busIndex_) + " (" + bus_.port + ")";
}

bool BusPoller::WaitUntil(SteadyTime when) {
    for (;;) {
        heartbeat_.BeatUntil(when);
        {
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, when, [&] { return stop_.load() || !commands_.empty(); });
            if (stop_) return false;
            if (commands_.empty()) return true;  // the time has come
        }
        RunCommands();
    }
}

void BusPoller::Run() {
    bool reported = false;
    milliseconds backoff = timing_.reopenFirst;
    while (!stop_) {
        heartbeat_.Beat();
        if (!line_ && !OpenLine(reported, backoff)) continue;
        const SteadyTime cycleStart = Steady::now();
        passStart_ = cycleStart;
        const std::optional<SteadyTime> nextDue = PollBus();
        if (master_ && master_->LineClosed()) {
            LoseLine();
            reported = true;
            backoff = timing_.reopenFirst;
            WaitUntil(Steady::now() + backoff);
            continue;
        }
        if (stop_) break;
        RunCommands();
        // With every device resting, even "as fast as possible" waits for the
        // next probe rather than spinning.
        SteadyTime next = cycleStart + pollInterval_;
        if (nextDue) next = std::max(next, *nextDue);
        if (next > Steady::now()) WaitUntil(next);
    }
    master_.reset();
    line_.reset();
    lineOpen_ = false;
}

bool BusPoller::OpenLine(bool& reported, milliseconds& backoff) {
    std::string error;
    line_ = opener_(bus_, &error);
    if (!line_) {
        if (!reported) {
            BridgeLog(LogLevel::kError,
                      Label() + ": cannot open: " + error + "; retrying with back-off");
            MarkAllOffline();
            reported = true;
        }
        WaitUntil(Steady::now() + backoff);
        backoff = std::min(backoff * 2, timing_.reopenMax);
        return false;
    }
    BridgeLog(LogLevel::kInfo, Label() + (reported ? ": open again" : ": open"));
    reported = false;
    backoff = timing_.reopenFirst;
    master_ = std::make_unique<CBusMaster>(*line_, MasterOptions(bus_), clock_);
    lineOpen_ = true;
    for (auto& slot : slots_) {
        slot->settingsBlocksRead = 0;
        slot->device = &master_->Device(slot->config.address);
        slot->failedCycles = 0;
        slot->backoff = milliseconds(0);
        slot->nextProbe = SteadyTime{};
        slot->loadBlockRead = false;
    }
    return true;
}

void BusPoller::LoseLine() {
    BridgeLog(LogLevel::kError, Label() + ": line lost (unplugged or server gone); reopening");
    for (auto& slot : slots_) {
        // The counters go on from where they were when the line is back.
        Accumulate(slot->carried, slot->device->Counters());
        slot->device = nullptr;
    }
    master_.reset();
    line_.reset();
    lineOpen_ = false;
    MarkAllOffline();
}

void BusPoller::MarkAllOffline() {
    for (auto& slot : slots_) {
        if (!slot->online && slot->failedCycles >= timing_.failedCyclesOffline) continue;
        slot->online = false;
        slot->failedCycles = timing_.failedCyclesOffline;
        Publish(*slot);
    }
}

std::optional<BusPoller::SteadyTime> BusPoller::PollBus() {
    const auto start = clock_.Now();
    ++passes_;
    std::optional<SteadyTime> earliestProbe;
    bool polled = false;
    for (auto& slot : slots_) {
        if (stop_ || master_->LineClosed()) return std::nullopt;
        RunCommands();
        if (master_->LineClosed()) return std::nullopt;
        const bool resting = slot->failedCycles >= timing_.failedCyclesOffline;
        if (resting && Steady::now() < slot->nextProbe) {
            if (!earliestProbe || slot->nextProbe < *earliestProbe) earliestProbe = slot->nextProbe;
            continue;
        }
        PollDevice(*slot);
        polled = true;
    }
    if (stop_ || master_->LineClosed()) return std::nullopt;
    if (polled) lastBusCycleMs_ = MillisecondsBetween(start, clock_.Now());
    return polled ? std::nullopt : earliestProbe;
}

void BusPoller::PollDevice(Slot& slot) {
    heartbeat_.Beat();
    CBusDevice& device = *slot.device;
    CycleResult cycle;
    const bool resting = slot.failedCycles >= timing_.failedCyclesOffline;
    // A device that has stopped answering is asked once, without the
    // retries, and read in full only when it answers that.
    const TransactionResult probe =
        resting ? master_->Transact(device, kRealTimeBlock, 0) : TransactionResult{};
    if (resting && probe.result != BusResult::kOk) {
        cycle.asked[kRealTimeBlock] = true;
        cycle.results[kRealTimeBlock] = probe.result;
        cycle.firstRequest = probe.firstRequest;
        cycle.lineClosed = probe.result == BusResult::kLineClosed;
    } else {
        cycle = master_->ReadCycle(device, [this] { return stop_.load(); });
    }
    if (cycle.stopped || cycle.lineClosed) return;
    slot.lastCycleMs = MillisecondsBetween(cycle.firstRequest, clock_.Now());
    if (cycle.decoded[kLoadBlock]) slot.loadBlockRead = true;
    NoteSettingsRead(slot, cycle);

    if (cycle.decoded[kRealTimeBlock]) {
        if (!slot.online)
            BridgeLog(LogLevel::kInfo,
                      Label() + ": address " + std::to_string(slot.config.address) + " online");
        slot.online = true;
        slot.failedCycles = 0;
        slot.backoff = milliseconds(0);
        slot.state = DeviceStateJson(device.Data(), std::chrono::system_clock::now());
        slot.logValues = CEventLog::FormatLogValues(device.Data());
    } else {
        ++slot.failedCycles;
        if (slot.failedCycles >= timing_.failedCyclesOffline) {
            if (slot.online || slot.failedCycles == timing_.failedCyclesOffline)
                BridgeLog(LogLevel::kWarning,
                          Label() + ": address " + std::to_string(slot.config.address) +
                              " offline after " + std::to_string(slot.failedCycles) +
                              " failed cycles");
            slot.online = false;
            slot.backoff = slot.backoff.count() == 0 ? timing_.deadFirst
                                                     : std::min(slot.backoff * 2, timing_.deadMax);
            slot.nextProbe = Steady::now() + slot.backoff;
        }
    }

    if (cycle.decoded[kIdentityBlock]) LearnIdentity(slot);
    Publish(slot);
}

void BusPoller::NoteSettingsRead(Slot& slot, const CycleResult& cycle) {
    bool fresh = false;
    for (const int block : kSettingsBlocks) {
        if (!cycle.decoded[block]) continue;
        slot.settingsBlocksRead |= 1u << block;
        fresh = true;
    }
    unsigned all = 0;
    for (const int block : kSettingsBlocks)
        all |= 1u << block;
    if (!fresh || slot.settingsBlocksRead != all) return;
    RecordSettings(slot);
}

bool BusPoller::RecordSettings(Slot& slot) {
    const std::string readAt = IsoTimestamp(std::chrono::system_clock::now());
    nlohmann::json fresh =
        nlohmann::json::parse(profile::ExportProfile(slot.device->Data(), readAt), nullptr, false);
    const auto content = [](nlohmann::json profile) {
        if (profile.is_object()) profile.erase("exportedAt");
        return profile;
    };
    if (!slot.settings.is_null() && content(fresh) == content(slot.settings)) return false;
    slot.settings = std::move(fresh);
    slot.settingsReadAt = readAt;
    return true;
}

void BusPoller::LearnIdentity(Slot& slot) {
    const ControllerData& data = slot.device->Data();
    const std::string serial = TrimmedText(data.serialNumber, ControllerData::kSerialWords);
    const std::string id = SerialDeviceId(serial);
    const bool claimed = id.empty() || ids_ == nullptr || ids_->Claim(id, &slot);
    if (!claimed && !slot.idConflictReported) {
        BridgeLog(LogLevel::kWarning, Label() + ": address " + std::to_string(slot.config.address) +
                                          " reports serial number " + serial +
                                          " like another controller; it keeps its id " +
                                          slot.identity.deviceId);
        slot.idConflictReported = true;
    }
    std::string oldId;
    DeviceIdentity now;
    {
        std::lock_guard lock(mutex_);
        slot.identity.serialNumber = serial;
        slot.identity.model = TrimmedText(data.modelName, ControllerData::kModelWords);
        slot.identity.firmware = TrimmedText(data.firmwareVersion, ControllerData::kFirmwareWords);
        if (claimed && !id.empty() && id != slot.identity.deviceId) {
            oldId = slot.identity.deviceId;
            slot.identity.deviceId = id;
        }
        now = slot.identity;
    }
    if (oldId.empty()) return;
    BridgeLog(LogLevel::kInfo, Label() + ": address " + std::to_string(slot.config.address) +
                                   " is " + now.deviceId + " (was " + oldId + ")");
    sink_.Renamed(oldId, now);
}

void BusPoller::Publish(Slot& slot) {
    DeviceUpdate update;
    {
        std::lock_guard lock(mutex_);
        update.identity = slot.identity;
    }
    update.online = slot.online;
    update.state = slot.state;
    update.logValues = slot.logValues;
    update.settings = slot.settings;
    update.settingsReadAt = slot.settingsReadAt;
    LinkCounters counters = slot.carried;
    if (slot.device != nullptr) Accumulate(counters, slot.device->Counters());
    update.link = LinkJson(counters, slot.lastCycleMs);
    update.link["bus_cycle_ms"] = lastBusCycleMs_.load();
    sink_.Publish(update);
}

}  // namespace kestrane::bridge
