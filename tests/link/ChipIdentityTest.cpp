#include "link/Connection.h"

#include <gtest/gtest.h>

using namespace korvat;

namespace {

ChipIdentity answered(int code) {
    ChipIdentity id;
    id.reach = ChipIdentity::Reach::Answered;
    id.reply = {static_cast<std::uint8_t>(code), 0xC8, 0x40, 0x17};
    return id;
}

} // namespace

// Every type code read the one way Detect, batch mode, the identity check and korvat-cli
// read it.
TEST(ChipIdentity, WhatATypeCodeMeans) {
    for (int code = 0; code < 256; ++code) {
        SCOPED_TRACE(code);
        const ChipIdentity id = answered(code);
        const bool chip = code >= 1 && code <= 3;
        EXPECT_EQ(id.hasId(), code == 1);
        EXPECT_EQ(id.typeOnly(), code == 2 || code == 3);
        EXPECT_EQ(id.typePosition(), id.typeOnly() ? code - 1 : -1);
        EXPECT_EQ(id.emptySocket(), !chip);
        EXPECT_EQ(id.countsForBatch(), chip);
        EXPECT_EQ(id.rearmsBatch(), code == 0); // 4 and above neither count nor rearm
        EXPECT_EQ(id.chipId(), 0xC84017u);
    }
    // Nothing answered: no chip, no empty socket, nothing for batch mode either way.
    for (const auto reach : {ChipIdentity::Reach::NotReachable, ChipIdentity::Reach::Busy,
                             ChipIdentity::Reach::LinkFailed}) {
        ChipIdentity id = answered(0);
        id.reach = reach;
        EXPECT_FALSE(id.hasId());
        EXPECT_FALSE(id.typeOnly());
        EXPECT_FALSE(id.emptySocket());
        EXPECT_FALSE(id.countsForBatch());
        EXPECT_FALSE(id.rearmsBatch());
    }
}
