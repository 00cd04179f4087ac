// CSerialPort against pseudo-terminals: the test holds the controller's end
// (the master) and the port opens the slave by its path.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "serial/CSerialPort.h"
#include "serial/LineSpeed.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

double ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[256] = {};
        ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0) << strerror(errno);
        path_ = name;
    }
    void TearDown() override {
        port_.Close();
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }

    void OpenAndConfigure(unsigned rate = 9600) {
        ASSERT_TRUE(port_.Open(path_)) << port_.LastErrorText();
        ASSERT_TRUE(port_.Configure(rate)) << port_.LastErrorText();
    }

    void SendFromDevice(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // The pty moves bytes to the port's side asynchronously; wait until they sit
    // in its input queue so the test controls what a Read finds.
    void WaitUntilQueued(int bytes) {
        auto start = Clock::now();
        int queued = 0;
        while (MillisecondsSince(start) < 2000) {
            ASSERT_EQ(ioctl(slave_, FIONREAD, &queued), 0);
            if (queued >= bytes) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        FAIL() << "only " << queued << " of " << bytes << " bytes arrived";
    }

    static std::vector<uint8_t> Sequence(size_t length) {
        std::vector<uint8_t> bytes(length);
        for (size_t i = 0; i < length; ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 + 0x11);
        return bytes;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    CSerialPort port_;
};

TEST_F(SerialPortTest, NeverOpenedPortRefusesWriteAndCloseIsHarmless) {
    uint8_t request[8] = {1, 3, 0, 0, 0, 15, 0, 0};
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_FALSE(port_.Write(request, sizeof request, 1000));
    EXPECT_FALSE(port_.Configure(9600));
    port_.Close();
    port_.Close();
    EXPECT_FALSE(port_.IsOpen());
    port_.DiscardInput();
}

TEST_F(SerialPortTest, OpensAbsolutePathAndBareNameUnderDev) {
    ASSERT_EQ(path_.rfind("/dev/", 0), 0u);
    ASSERT_TRUE(port_.Open(path_)) << port_.LastErrorText();
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_EQ(port_.DevicePath(), path_);
    port_.Close();
    port_.Close();
    EXPECT_FALSE(port_.IsOpen());

    ASSERT_TRUE(port_.Open(path_.substr(5))) << port_.LastErrorText();  // "pts/N"
    EXPECT_EQ(port_.DevicePath(), path_);
}

// Changes the working directory for one test and back.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& dir)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

TEST_F(SerialPortTest, RelativePathsOpenFromTheWorkingDirectory) {
    testing::ScratchDir scratch("kestrane-port");
    std::filesystem::create_symlink(path_, scratch.Path() / "ttyX");
    std::ofstream(scratch.Path() / "regular.txt") << "not a terminal";
    WorkingDirectory here(scratch.Path());

    for (const char* name : {"./ttyX", "ttyX"}) {
        ASSERT_TRUE(port_.Open(name)) << name << ": " << port_.LastErrorText();
        EXPECT_EQ(port_.DevicePath(), name);
        uint8_t byte = 0x5A;
        ASSERT_TRUE(port_.Write(&byte, 1, 1000));
        uint8_t received = 0;
        ASSERT_EQ(read(master_, &received, 1), 1);
        EXPECT_EQ(received, 0x5A);
        port_.Close();
    }

    // A file here is opened as itself, not looked for under /dev/.
    EXPECT_FALSE(port_.Open("regular.txt"));
    EXPECT_EQ(port_.LastError(), SerialError::NotATerminal);
    EXPECT_EQ(port_.LastErrorText().rfind("regular.txt:", 0), 0u) << port_.LastErrorText();
}

TEST_F(SerialPortTest, OpenFailuresSayWhy) {
    EXPECT_FALSE(port_.Open("/dev/kestrane-no-such-port"));
    EXPECT_EQ(port_.LastError(), SerialError::NotFound);
    EXPECT_NE(port_.LastErrorText().find("/dev/kestrane-no-such-port"), std::string::npos);
    EXPECT_NE(port_.LastErrorText().find("No such file"), std::string::npos);

    EXPECT_FALSE(port_.Open("kestrane-no-such-port"));
    EXPECT_NE(port_.LastErrorText().find("/dev/kestrane-no-such-port"), std::string::npos);

    EXPECT_FALSE(port_.Open(""));
    EXPECT_EQ(port_.LastError(), SerialError::NotFound);

    EXPECT_FALSE(port_.Open("/dev/null"));
    EXPECT_EQ(port_.LastError(), SerialError::NotATerminal);
    EXPECT_FALSE(port_.IsOpen());
}

TEST_F(SerialPortTest, PermissionDeniedNamesTheDialoutGroup) {
    if (geteuid() == 0) GTEST_SKIP() << "root opens any device";
    ASSERT_EQ(chmod(path_.c_str(), 0), 0);
    EXPECT_FALSE(port_.Open(path_));
    EXPECT_EQ(port_.LastError(), SerialError::PermissionDenied);
    EXPECT_NE(port_.LastErrorText().find("dialout"), std::string::npos);
}

TEST_F(SerialPortTest, ErrnoMapsToOneErrorEach) {
    const std::pair<int, SerialError> cases[] = {
        {0, SerialError::None},
        {ENOENT, SerialError::NotFound},
        {ENODEV, SerialError::NotFound},
        {EACCES, SerialError::PermissionDenied},
        {EBUSY, SerialError::Busy},
        {EWOULDBLOCK, SerialError::Busy},
        {ENOTTY, SerialError::NotATerminal},
        {EIO, SerialError::DeviceGone},
        {EINVAL, SerialError::Other},
    };
    for (const auto& [err, expected] : cases) {
        EXPECT_EQ(SerialErrorFromErrno(err), expected) << strerror(err);
    }
}

TEST_F(SerialPortTest, SecondOpenOfTheSameDeviceIsBusy) {
    OpenAndConfigure();
    CSerialPort other;
    EXPECT_FALSE(other.Open(path_));
    EXPECT_EQ(other.LastError(), SerialError::Busy);
    EXPECT_FALSE(other.LastErrorText().empty());
    EXPECT_TRUE(port_.IsOpen());

    port_.Close();
    EXPECT_TRUE(other.Open(path_)) << other.LastErrorText();
}

TEST_F(SerialPortTest, ReadReturnsEverythingQueuedInOneCall) {
    OpenAndConfigure();
    std::vector<uint8_t> reply = Sequence(35);
    SendFromDevice(reply);
    WaitUntilQueued(35);
    uint8_t buffer[130] = {};
    size_t count = 0;
    ASSERT_TRUE(port_.Read(buffer, sizeof buffer, count));
    ASSERT_EQ(count, 35u);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + count), reply);
}

TEST_F(SerialPortTest, ReadNeverExceedsTheBufferAndKeepsTheRest) {
    OpenAndConfigure();
    std::vector<uint8_t> reply = Sequence(35);
    SendFromDevice(reply);
    WaitUntilQueued(35);
    uint8_t buffer[64];
    std::memset(buffer, 0xEE, sizeof buffer);
    size_t count = 0;
    ASSERT_TRUE(port_.Read(buffer, 10, count));
    ASSERT_EQ(count, 10u);
    EXPECT_EQ(buffer[10], 0xEE);
    ASSERT_TRUE(port_.Read(buffer + 10, sizeof buffer - 10, count));
    ASSERT_EQ(count, 25u);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 35), reply);
}

// A reply the port was told to expect is followed through its wire time, so
// it takes a handful of reads rather than one per byte, and none of its bytes
// is lost or reordered.
TEST_F(SerialPortTest, AnExpectedReplyTricklingInAtTheLineRateTakesFewReads) {
    OpenAndConfigure(9600);
    const std::vector<uint8_t> reply = Sequence(35);
    port_.ExpectReply(reply.size());
    std::thread device([&] {
        for (uint8_t byte : reply) {
            ASSERT_EQ(write(master_, &byte, 1), 1);
            std::this_thread::sleep_for(std::chrono::microseconds(1042));
        }
    });
    std::vector<uint8_t> received;
    int reads = 0;
    uint8_t buffer[130] = {};
    size_t count = 0;
    while (received.size() < reply.size() && port_.Read(buffer, sizeof buffer, count)) {
        received.insert(received.end(), buffer, buffer + count);
        ++reads;
    }
    device.join();
    EXPECT_EQ(received, reply);
    EXPECT_LT(reads, 18) << "one read per byte or nearly";
}

// A reply shorter than expected (an exception) or longer is still returned
// whole and at once; the expectation only shortens the waiting.
TEST_F(SerialPortTest, AReplyOfAnotherLengthThanExpectedIsReturnedAsItCame) {
    OpenAndConfigure(9600);
    for (size_t length : {5u, 60u}) {
        SCOPED_TRACE(length);
        const std::vector<uint8_t> reply = Sequence(length);
        port_.ExpectReply(35);
        SendFromDevice(reply);
        WaitUntilQueued(static_cast<int>(length));
        uint8_t buffer[130] = {};
        size_t count = 0;
        const auto start = Clock::now();
        ASSERT_TRUE(port_.Read(buffer, sizeof buffer, count));
        EXPECT_LT(MillisecondsSince(start), 500) << "waited for bytes that never came";
        EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + count), reply);
    }
}

TEST_F(SerialPortTest, ReadWithNothingArrivingGivesUpAfterTheSilence) {
    OpenAndConfigure();
    uint8_t buffer[130];
    size_t count = 99;
    auto start = Clock::now();
    EXPECT_FALSE(port_.Read(buffer, sizeof buffer, count));
    long long elapsed = MillisecondsSince(start);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(elapsed, 40);
    EXPECT_LE(elapsed, 500);
}

TEST_F(SerialPortTest, ReadOnClosedPortTakesTheSilenceInsteadOfSpinning) {
    uint8_t buffer[16];
    size_t count = 99;
    auto start = Clock::now();
    EXPECT_FALSE(port_.Read(buffer, sizeof buffer, count));
    EXPECT_EQ(count, 0u);
    EXPECT_GE(MillisecondsSince(start), 40);
}

TEST_F(SerialPortTest, DiscardInputDropsALateReply) {
    OpenAndConfigure();
    SendFromDevice(Sequence(5));
    WaitUntilQueued(5);
    port_.DiscardInput();
    uint8_t buffer[16];
    size_t count = 0;
    EXPECT_FALSE(port_.Read(buffer, sizeof buffer, count));
}

TEST_F(SerialPortTest, WriteHandsTheRequestToTheDevice) {
    OpenAndConfigure();
    std::vector<uint8_t> request = Sequence(45);
    ASSERT_TRUE(port_.Write(request.data(), request.size(), 1000));
    std::vector<uint8_t> received;
    auto start = Clock::now();
    while (received.size() < request.size() && MillisecondsSince(start) < 2000) {
        pollfd readable{master_, POLLIN, 0};
        if (poll(&readable, 1, 50) <= 0) continue;
        uint8_t chunk[64];
        ssize_t n = read(master_, chunk, sizeof chunk);
        if (n > 0) received.insert(received.end(), chunk, chunk + n);
    }
    EXPECT_EQ(received, request);  // raw: no 0x11/0x13 swallowed, no CR/LF mapping
}

TEST_F(SerialPortTest, WriteThatCannotFinishGivesUpAtItsTimeout) {
    OpenAndConfigure();
    // Nobody reads the device side, so its buffer fills up.
    std::vector<uint8_t> flood(1 << 20, 0x55);
    auto start = Clock::now();
    EXPECT_FALSE(port_.Write(flood.data(), flood.size(), 100));
    long long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 90);
    EXPECT_LE(elapsed, 1000);
}

TEST_F(SerialPortTest, UnpluggedDeviceEndsReadWithinTheSilenceWithoutSpinning) {
    OpenAndConfigure();
    close(master_);
    master_ = -1;
    uint8_t buffer[130];
    size_t count = 0;
    double cpuBefore = ThreadCpuMilliseconds();
    auto start = Clock::now();
    constexpr int kReads = 5;
    for (int i = 0; i < kReads; ++i) {
        auto readStart = Clock::now();
        EXPECT_FALSE(port_.Read(buffer, sizeof buffer, count));
        EXPECT_LE(MillisecondsSince(readStart), 500);
        EXPECT_EQ(count, 0u);
    }
    long long wall = MillisecondsSince(start);
    double cpu = ThreadCpuMilliseconds() - cpuBefore;
    EXPECT_TRUE(port_.HasHungUp());
    EXPECT_GE(wall, kReads * 40);  // each Read waits out its silence
    EXPECT_LT(cpu, wall / 4.0) << "Read spun on the hung-up device";
    uint8_t request[2] = {1, 2};
    EXPECT_FALSE(port_.Write(request, sizeof request, 100));
    port_.Close();
    EXPECT_FALSE(port_.IsOpen());
}

TEST_F(SerialPortTest, CloseWakesAReadWaitingOnAnotherThread) {
    OpenAndConfigure(110);  // the longest silence, so an early return is visible
    ASSERT_GT(port_.ReplySilenceMs(), 300);
    std::atomic<bool> started{false};
    std::atomic<long long> readMs{-1};
    std::atomic<bool> readResult{true};
    std::thread reader([&] {
        uint8_t buffer[130];
        size_t count = 0;
        started = true;
        auto start = Clock::now();
        readResult = port_.Read(buffer, sizeof buffer, count);
        readMs = MillisecondsSince(start);
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    port_.Close();
    reader.join();
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_FALSE(readResult);
    EXPECT_LT(readMs, 300);
}

TEST_F(SerialPortTest, ReadsAndCloseFromTwoThreadsNeverTouchAClosedDescriptor) {
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        uint8_t buffer[130];
        size_t count = 0;
        while (!stop)
            port_.Read(buffer, sizeof buffer, count);
    });
    for (int round = 0; round < 10; ++round) {
        ASSERT_TRUE(port_.Open(path_)) << port_.LastErrorText();
        port_.Configure(9600);
        SendFromDevice({1, 2, 3});
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        port_.Close();
    }
    stop = true;
    reader.join();
}

TEST_F(SerialPortTest, ConfigureSetsRawEightNoneOneAndKeepsHardwareFlowControl) {
    struct termios before {};
    ASSERT_EQ(tcgetattr(slave_, &before), 0);
    before.c_cflag |= CRTSCTS | PARENB | CSTOPB;
    before.c_iflag |= IXON | IXOFF | ICRNL;
    ASSERT_EQ(tcsetattr(slave_, TCSANOW, &before), 0);
    OpenAndConfigure(9600);

    struct termios now {};
    ASSERT_EQ(tcgetattr(slave_, &now), 0);
    EXPECT_EQ(now.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(now.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(now.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(now.c_iflag & (ICRNL | IXON | IXOFF), 0u);
    EXPECT_EQ(now.c_cflag & CRTSCTS, before.c_cflag & CRTSCTS);
    EXPECT_EQ(cfgetospeed(&now), static_cast<speed_t>(B9600));
    EXPECT_EQ(port_.ReplySilenceMs(), 50);
}

TEST_F(SerialPortTest, ReplySilenceCoversFourCharactersAtSlowRates) {
    ASSERT_TRUE(port_.Open(path_));
    EXPECT_EQ(port_.ReplySilenceMs(), 50);
    const std::pair<unsigned, int> cases[] = {{110, 364}, {300, 134}, {600, 67},
                                              {1200, 50}, {9600, 50}, {115200, 50}};
    for (const auto& [rate, silence] : cases) {
        ASSERT_TRUE(port_.Configure(rate)) << rate << ": " << port_.LastErrorText();
        EXPECT_EQ(port_.ReplySilenceMs(), silence) << rate;
    }
}

TEST_F(SerialPortTest, NonStandardRateIsSetExactlyOrRefused) {
    OpenAndConfigure(9600);
    bool accepted = port_.Configure(14400);
    if (accepted) {
        EXPECT_EQ(port_.LastError(), SerialError::None);
        EXPECT_EQ(ReadActualSpeed(slave_), 14400u);
        SendFromDevice({0x01, 0x03});
        WaitUntilQueued(2);
        uint8_t buffer[8];
        size_t count = 0;
        EXPECT_TRUE(port_.Read(buffer, sizeof buffer, count));
        EXPECT_EQ(count, 2u);
    } else {
        EXPECT_EQ(port_.LastError(), SerialError::UnsupportedRate);
        EXPECT_FALSE(port_.LastErrorText().empty());
    }
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_FALSE(port_.Configure(0));
    EXPECT_EQ(port_.LastError(), SerialError::UnsupportedRate);
}

TEST_F(SerialPortTest, CloseRestoresTheLineSettingsFoundAtOpen) {
    struct termios before {};
    ASSERT_EQ(tcgetattr(slave_, &before), 0);
    cfsetospeed(&before, B4800);
    cfsetispeed(&before, B4800);
    before.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(tcsetattr(slave_, TCSANOW, &before), 0);
    ASSERT_EQ(tcgetattr(slave_, &before), 0);

    OpenAndConfigure(115200);
    port_.Close();
    struct termios after {};
    ASSERT_EQ(tcgetattr(slave_, &after), 0);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B4800));
}

}  // namespace
}  // namespace kestrane
