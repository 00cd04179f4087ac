#include "protocol/ClockWrite.h"

namespace kestrane {

void FillClockWrite(ControllerData& data, const ClockValues& values) {
    ClockValues image = values;
    image[0] = static_cast<int32_t>(static_cast<uint32_t>(image[0]) % 100u);
    for (size_t i = 0; i < image.size(); ++i)
        data.clockWrite[i].store(image[i]);
}

}  // namespace kestrane
