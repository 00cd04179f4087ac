// Reply handling against arbitrary bytes from the serial line. The first input
// byte picks the transaction in flight, the next ones say where the reply is
// cut into separate appends, the rest are the reply bytes. Validation must
// never read past the buffer, and decoding of an accepted reply must leave the
// response cleared.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocol/CModbusFrame.h"
#include "protocol/RegisterMap.h"

namespace {

using kestrane::CModbusFrame;

// Codes the engine uses, plus a few it never should.
constexpr int kCodes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                          13, 14, 15, 16, 17, 18, 19, 20, 50, 99, -1, 255};

void BuildRequest(CModbusFrame& frame, int code, uint8_t address) {
    if (const auto block = kestrane::ReadBlockFor(code))
        frame.BuildReadRequest(address, 3, block->startRegister, block->registerCount);
    else
        frame.BuildWriteRequest(address, code == 15 || code == 17 ? 6 : 16, code);
}

void RunOne(const uint8_t* data, size_t size) {
    if (size < 3) return;
    kestrane::SharedState state;
    for (int i = 0; i < kestrane::ControllerData::kBatteryWriteWords; ++i)
        state.data.batteryWrite[i] = static_cast<int32_t>(data[1] * 0x01010101u);
    CModbusFrame frame(state);

    const int code = kCodes[data[0] % std::size(kCodes)];
    const uint8_t address = data[1];
    // Pieces of at most 1 + (data[2] % 64) bytes, the way a port delivers them.
    const size_t pieceLimit = 1 + data[2] % 64;
    data += 3;
    size -= 3;

    BuildRequest(frame, code, address);
    while (size > 0) {
        const size_t piece = 1 + data[0] % pieceLimit;
        const size_t taken = piece < size ? piece : size;
        frame.AppendResponse(data, taken);
        data += taken;
        size -= taken;
        if (frame.ResponseCount() > CModbusFrame::kBufferSize) std::abort();
    }

    if (!frame.ValidateResponse(frame.Response()[0])) return;
    std::atomic<int32_t> transactionCode{code};
    frame.DecodeResponse(transactionCode);
    if (frame.ResponseCount() != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RunOne(data, size);
    return 0;
}

#ifdef KESTRANE_FUZZ_STANDALONE
#include <random>
#include <vector>

// Without libFuzzer: a fixed number of random inputs from a fixed seed, biased
// towards replies that pass the CRC so decoding is reached too.
int main() {
    std::mt19937 random(20240611);
    std::vector<uint8_t> input;
    for (int round = 0; round < 200000; ++round) {
        input.resize(3 + random() % 260);
        for (uint8_t& byte : input)
            byte = static_cast<uint8_t>(random());
        if (round % 2 == 0) {
            // A function-3 reply with a correct CRC, possibly followed by noise.
            const size_t byteCount = random() % 48;
            input.resize(3 + 3 + byteCount + 2 + random() % 4);
            input[4] = 3;
            input[5] = static_cast<uint8_t>(byteCount);
            const uint16_t crc = CModbusFrame::Crc16(input.data() + 3, byteCount + 3);
            input[6 + byteCount] = static_cast<uint8_t>(crc & 0xFF);
            input[7 + byteCount] = static_cast<uint8_t>(crc >> 8);
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    return 0;
}
#endif
