// Our frames against libmodbus as the controller: a libmodbus RTU server runs
// on the slave side of a pseudo-terminal, our requests go in on the master
// side, and its replies come back through our validation and decoder.
#include <fcntl.h>
#include <modbus/modbus.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "protocol/CModbusFrame.h"
#include "protocol/RegisterMap.h"
#include "protocol/TextCodec.h"
#include "support/ModbusReply.h"

namespace kestrane {
namespace {

using testing::Bytes;

constexpr int kServerAddress = 1;
constexpr int kMappedRegisters = 0x0A00;  // registers 0x0000-0x09FF
constexpr auto kReplyWait = std::chrono::seconds(3);

class LibmodbusServer : public ::testing::Test {
protected:
    void SetUp() override {
        int slave = -1;
        ASSERT_EQ(openpty(&master_, &slave, nullptr, nullptr, nullptr), 0) << errno;
        slave_ = slave;
        termios tio{};
        ASSERT_EQ(tcgetattr(slave_, &tio), 0);
        cfmakeraw(&tio);
        ASSERT_EQ(tcsetattr(slave_, TCSANOW, &tio), 0);
        const char* path = ttyname(slave_);
        ASSERT_NE(path, nullptr);

        ctx_ = modbus_new_rtu(path, 9600, 'N', 8, 1);
        ASSERT_NE(ctx_, nullptr);
        ASSERT_EQ(modbus_set_slave(ctx_, kServerAddress), 0);
        ASSERT_EQ(modbus_connect(ctx_), 0) << modbus_strerror(errno);
        // Bounds the server's wait for a request, so the thread always ends.
        ASSERT_EQ(modbus_set_indication_timeout(ctx_, 2, 0), 0);
        map_ = modbus_mapping_new_start_address(0, 0, 0, 0, 0, kMappedRegisters, 0, 0);
        ASSERT_NE(map_, nullptr);
        for (int r = 0; r < kMappedRegisters; ++r)
            map_->tab_registers[r] = static_cast<uint16_t>(r * 7 + 3);
    }

    void TearDown() override {
        if (server_.joinable()) server_.join();
        if (map_ != nullptr) modbus_mapping_free(map_);
        if (ctx_ != nullptr) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }

    void SetRegisters(uint16_t start, std::initializer_list<uint16_t> words) {
        for (uint16_t word : words)
            map_->tab_registers[start++] = word;
    }

    // Starts the server for exactly one request; its modbus_receive result and
    // errno are kept for the test.
    void ServeOne() {
        server_ = std::thread([this] {
            uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
            const int rc = modbus_receive(ctx_, query);
            receiveError_ = rc < 0 ? errno : 0;
            if (rc > 0) modbus_reply(ctx_, query, rc, map_);
            received_ = rc;
            served_ = true;
        });
    }

    // Writes the request on the master side and collects the server's reply
    // until `expected` bytes came, the server finished without sending more,
    // or the wait ran out.
    Bytes Exchange(const Bytes& request, size_t expected) {
        served_ = false;
        ServeOne();
        EXPECT_EQ(write(master_, request.data(), request.size()),
                  static_cast<ssize_t>(request.size()));
        Bytes reply;
        const auto deadline = std::chrono::steady_clock::now() + kReplyWait;
        while (reply.size() < expected && std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{master_, POLLIN, 0};
            const bool finished = served_;  // its reply, if any, is in the pty by now
            if (poll(&pfd, 1, 100) <= 0 || !(pfd.revents & POLLIN)) {
                if (finished) break;
                continue;
            }
            uint8_t chunk[256];
            const ssize_t n = read(master_, chunk, sizeof chunk);
            if (n > 0) reply.insert(reply.end(), chunk, chunk + n);
        }
        server_.join();
        return reply;
    }

    Bytes SendFrame(size_t expectedReply) {
        return Exchange(testing::RequestBytes(frame_), expectedReply);
    }

    int32_t Deliver(const Bytes& reply, int transactionCode) {
        frame_.ClearResponse();
        testing::Feed(frame_, reply);
        EXPECT_TRUE(frame_.ValidateResponse(kServerAddress));
        code_ = transactionCode;
        return frame_.DecodeResponse(code_);
    }

    int master_ = -1;
    int slave_ = -1;
    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    std::thread server_;
    std::atomic<int> received_{0};
    std::atomic<int> receiveError_{0};
    std::atomic<bool> served_{false};

    SharedState state_;
    CModbusFrame frame_{state_};
    std::atomic<int32_t> code_{0};
};

TEST_F(LibmodbusServer, EveryReadBlockRoundTrips) {
    SetRegisters(0x0001, {0xFFF6});
    SetRegisters(0x0009, {0xFFF6, 0xFFFB});
    SetRegisters(0x0206, {0x0001, 0x86A0});
    SetRegisters(0x0703, {150, 145, 110, 115});
    uint16_t serial[8];
    TextToWords("KS0000000000042", serial, 8);
    for (int i = 0; i < 8; ++i)
        map_->tab_registers[0x0801 + i] = serial[i];

    for (int code = 0; code <= 7; ++code) {
        SCOPED_TRACE(code);
        const ReadBlock block = *ReadBlockFor(code);
        frame_.ClearRequest();
        frame_.BuildReadRequest(kServerAddress, 3, block.startRegister, block.registerCount);
        const Bytes reply = SendFrame(5u + 2u * block.registerCount);
        ASSERT_GT(received_, 0) << modbus_strerror(receiveError_);
        ASSERT_EQ(reply.size(), 5u + 2u * block.registerCount);
        EXPECT_EQ(reply[2], 2 * block.registerCount);
        EXPECT_EQ(Deliver(reply, code), 0);
        EXPECT_EQ(code_, code == 7 ? 0 : code + 1);
        EXPECT_TRUE(testing::ResponseCleared(frame_));
    }

    const ControllerData& d = state_.data;
    EXPECT_EQ(d.chargeState, 3);  // register 0 holds 0 * 7 + 3
    EXPECT_EQ(d.pvVoltage, 65526);
    EXPECT_EQ(d.batteryTemperature, -10);
    EXPECT_EQ(d.innerTemperature, -5);
    EXPECT_EQ(d.alarmCode, 0x0E * 7 + 3);
    EXPECT_EQ(d.chargedTodayWh, 100000);
    EXPECT_EQ(d.chargedMonthWh, ((0x020A * 7 + 3) << 16) | (0x020B * 7 + 3));
    EXPECT_EQ(d.systemVoltageUnits, 0x010A * 7 + 3);
    EXPECT_EQ(d.liOverVoltageRecover, 0x090C * 7 + 3);
    EXPECT_EQ(d.overVoltageProtect, 150);
    EXPECT_EQ(d.lowVoltageRecover, 115);
    EXPECT_EQ(WordsToText(d.serialNumber, ControllerData::kSerialWords), "KS0000000000042");
    EXPECT_EQ(d.loadOutputOn, 0x040F * 7 + 3);
    EXPECT_EQ(d.compVoltageOffset, 0x030C * 7 + 3);
}

TEST_F(LibmodbusServer, EveryWriteIsStoredAndAcknowledged) {
    ControllerData& d = state_.data;
    const auto fill = [](AtomicValue* image, int count, int32_t base) {
        for (int i = 0; i < count; ++i)
            image[i] = base + i;
    };
    fill(d.batteryWrite, ControllerData::kBatteryWriteWords, 0x10000 + 100);
    fill(d.leadAcidWrite, ControllerData::kLeadAcidWriteWords, 200);
    fill(d.lithiumWrite, ControllerData::kLithiumWriteWords, 300);
    fill(d.loadWrite, ControllerData::kLoadWriteWords, 5100);
    d.newAddress = 0x00050007;
    fill(d.calibrationWrite, ControllerData::kCalibrationWriteWords, 1000);
    fill(d.clockWrite, ControllerData::kClockWriteWords, 20);
    fill(d.identityWrite, ControllerData::kIdentityWriteWords, 0x4141);

    struct Expected {
        int code;
        int32_t result;
        int32_t nextCode;
    };
    constexpr Expected kWrites[] = {{10, 1, 50}, {11, 1, 12}, {12, 1, 10}, {13, 0, 0}, {15, 0, 0},
                                    {16, 0, 0},  {17, 0, 0},  {18, 0, 0},  {19, 0, 0}};
    for (const Expected& e : kWrites) {
        SCOPED_TRACE(e.code);
        const WriteBlock block = *WriteBlockFor(e.code);
        frame_.ClearRequest();
        frame_.BuildWriteRequest(kServerAddress, block.singleRegister ? 6 : 16, e.code);
        const Bytes reply = SendFrame(8);
        ASSERT_GT(received_, 0) << modbus_strerror(receiveError_);
        ASSERT_EQ(reply.size(), 8u);

        // libmodbus stored the words we meant, low 16 bits of each image value.
        const uint8_t* sent = frame_.Request();
        for (int i = 0; i < block.registerCount; ++i) {
            const size_t at = block.singleRegister ? 4 : 7 + 2 * static_cast<size_t>(i);
            EXPECT_EQ(map_->tab_registers[block.startRegister + i], (sent[at] << 8) | sent[at + 1])
                << "register " << block.startRegister + i;
        }
        EXPECT_EQ(Deliver(reply, e.code), e.result);
        EXPECT_EQ(code_, e.nextCode);
    }
    EXPECT_EQ(map_->tab_registers[0x0101], 100);
    EXPECT_EQ(map_->tab_registers[0x0203], 7);
    EXPECT_EQ(map_->tab_registers[0x0601], 4);  // the clock command came last
    EXPECT_EQ(map_->tab_registers[0x0602], 20);
    EXPECT_EQ(map_->tab_registers[0x0812], 0x4141 + 17);
    EXPECT_EQ(state_.settingsStatus, 1);
}

TEST_F(LibmodbusServer, RejectsOurFrameOnlyWhenWeCorruptIt) {
    frame_.BuildReadRequest(kServerAddress, 3, 0x0000, 15);
    Bytes request = testing::RequestBytes(frame_);
    request.back() ^= 0x01;
    const Bytes reply = Exchange(request, 1);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(received_, -1);
    EXPECT_EQ(receiveError_, EMBBADCRC);
}

TEST_F(LibmodbusServer, IgnoresRequestsForAnotherAddress) {
    frame_.BuildReadRequest(kServerAddress + 1, 3, 0x0000, 15);
    const Bytes reply = Exchange(testing::RequestBytes(frame_), 1);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(received_, 0);
}

TEST_F(LibmodbusServer, ExceptionReplyIsRefused) {
    // Registers beyond the mapping make libmodbus answer "illegal data address".
    frame_.BuildReadRequest(kServerAddress, 3, kMappedRegisters, 4);
    const Bytes reply = SendFrame(5);
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[1], 0x83);
    testing::Feed(frame_, reply);
    EXPECT_FALSE(frame_.ValidateResponse(kServerAddress));
}

}  // namespace
}  // namespace kestrane
