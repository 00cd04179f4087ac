#include <gtest/gtest.h>

#include "protocol/RegisterMap.h"

namespace kestrane {
namespace {

TEST(RegisterMap, ReadBlocksOfTheCycleAndTheProbe) {
    struct Expected {
        int code;
        uint16_t start, count;
    };
    constexpr Expected kExpected[] = {
        {0, 0x0000, 15}, {1, 0x0101, 10}, {2, 0x0907, 6},  {3, 0x0701, 6},   {4, 0x0203, 19},
        {5, 0x0801, 18}, {6, 0x0401, 15}, {7, 0x0301, 12}, {14, 0x0000, 15},
    };
    for (const Expected& e : kExpected) {
        const auto block = ReadBlockFor(e.code);
        ASSERT_TRUE(block.has_value()) << e.code;
        EXPECT_EQ(block->code, e.code);
        EXPECT_EQ(block->startRegister, e.start) << e.code;
        EXPECT_EQ(block->registerCount, e.count) << e.code;
    }
    for (int code : {-1, 8, 9, 10, 13, 15, 19, 50})
        EXPECT_FALSE(ReadBlockFor(code).has_value()) << code;
}

TEST(RegisterMap, SelectorsStartTheirWriteCodes) {
    constexpr int kCodes[] = {0, 10, 11, 13, 14, 15, 16, 17, 18, 19, 0};
    for (int selector = 0; selector <= 10; ++selector)
        EXPECT_EQ(WriteCodeForSelector(selector), kCodes[selector]) << selector;
    EXPECT_EQ(WriteCodeForSelector(-1), 0);
    EXPECT_EQ(WriteCodeForSelector(12), 0);
}

// Every write lands inside the registers a read block shows, except the clock
// command, whose register no block reads.
TEST(RegisterMap, WritesLandInsideTheirReadBlocks) {
    for (const WriteBlock& write : kWriteBlocks) {
        if (write.startRegister == 0x0601) continue;
        bool covered = false;
        for (const ReadBlock& read : kReadBlocks)
            covered = covered || (write.startRegister >= read.startRegister &&
                                  write.startRegister + write.registerCount <=
                                      read.startRegister + read.registerCount);
        EXPECT_TRUE(covered) << write.code;
    }
}

}  // namespace
}  // namespace kestrane
