// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_sms.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace funkor;

TEST(Cmgl, ListHeaders) {
    const struct {
        const char* line;
        bool valid;
        int index;
        const char* length;
    } cases[] = {
        {"+CMGL: 3,1,,23", true, 3, "23"},  // S45i, read message
        {"+CMGL: 0,0,,140", true, 0, "140"},
        {"+CMGL: 50,0,,23", true, 50, "23"},
        {"+CMGL: 1,0,\"Anna\",25", true, 1, "25"},  // alpha field filled
        {"+CMGL: 51,0,,23", false, 0, ""},          // no cache slot
        {"+CMGL: 125,0,,23", false, 0, ""},
        {"+CMGL: x,1,,23", false, 0, ""},
        {"+CMGL: 3,1,,ab", false, 0, ""},
        {"+CMGL: 3", false, 0, ""},
        {"+CMGL:", false, 0, ""},
    };
    for (const auto& c : cases) {
        const auto h = parseCmglHeader(c.line);
        ASSERT_EQ(h.has_value(), c.valid) << c.line;
        if (!h) continue;
        EXPECT_EQ(h->index, c.index) << c.line;
        EXPECT_EQ(h->length, c.length) << c.line;
    }
    EXPECT_EQ(smsCacheEntry("23", "0791942105000000F0"), "23:0791942105000000F0");
}

TEST(Cmgr, ReadHeaderLength) {
    EXPECT_EQ(parseCmgrLength("+CMGR: 0,,23"), 23);
    EXPECT_EQ(parseCmgrLength("+CMGR: 1,,152"), 152);
    EXPECT_EQ(parseCmgrLength("+CMGR: 0,\"Anna\",40"), 40);
    EXPECT_EQ(parseCmgrLength("+CMGR: 0,,xx"), std::nullopt);
    EXPECT_EQ(parseCmgrLength("+CMGR: 0,,"), std::nullopt);
    EXPECT_EQ(parseCmgrLength("+CMGR: 0,,99999"), std::nullopt);
    EXPECT_EQ(parseCmgrLength("+CMGR:"), std::nullopt);
}

TEST(Cmti, NewMessageNotices) {
    const struct {
        const char* line;
        bool valid;
        const char* storage;
        const char* index;
    } cases[] = {
        {"+CMTI: \"SM\",12", true, "\"SM\"", "12"},
        {"+CMTI: \"ME\",0", true, "\"ME\"", "0"},
        {"+CMTI: \"SM\",50", true, "\"SM\"", "50"},
        {"+CMTI: \"SM\",60", true, "\"SM\"", "60"},  // read, though not cached
        {"+CMTI: \"SM\",1000", false, "", ""},
        {"+CMTI: \"SM\",abc", false, "", ""},
        {"+CMTI: \"SM\",", false, "", ""},
        {"+CMTI: SM,12", false, "", ""},
        {"+CMTI:", false, "", ""},
    };
    for (const auto& c : cases) {
        const auto n = parseCmti(c.line);
        ASSERT_EQ(n.has_value(), c.valid) << c.line;
        if (!n) continue;
        EXPECT_EQ(n->storage, c.storage) << c.line;
        EXPECT_EQ(n->index, c.index) << c.line;
    }
}

TEST(SmsCache, SlotsAreZeroToFifty) {
    EXPECT_EQ(smsCacheSlot("7"), 7);
    EXPECT_EQ(smsCacheSlot(" 7 "), 7);
    EXPECT_EQ(smsCacheSlot("0"), 0);
    EXPECT_EQ(smsCacheSlot("60"), std::nullopt);
    EXPECT_EQ(smsCacheSlot("-1"), std::nullopt);
    EXPECT_EQ(smsCacheSlot(""), std::nullopt);
    EXPECT_EQ(smsCacheSlot("00000000007"), std::nullopt);
}
