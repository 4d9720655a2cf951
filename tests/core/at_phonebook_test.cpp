// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_phonebook.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace funkor;

TEST(Cpbs, PhoneBookUse) {
    const struct {
        const char* line;
        bool valid;
        int used;
        int total;
    } cases[] = {
        {"+CPBS: \"SM\",5,250", true, 5, 250},
        {"+CPBS: \"ON\",1,3", true, 1, 3},
        {"+CPBS: \"FD\",0,10", true, 0, 10},
        {"+CPBS: \"SM\"", false, 0, 0},
        {"+CPBS: \"SM\",x,250", false, 0, 0},
        {"+CPBS: \"SM\",5,", false, 0, 0},
        {"+CPBS:", false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto s = parseCpbs(c.line);
        ASSERT_EQ(s.has_value(), c.valid) << c.line;
        if (!s) continue;
        EXPECT_EQ(s->used, c.used) << c.line;
        EXPECT_EQ(s->total, c.total) << c.line;
    }
}

TEST(Cpbr, PhoneBookEntries) {
    const struct {
        const char* line;
        bool valid;
        const char* stored;
        const char* number;
        const char* name;
    } cases[] = {
        {"+CPBR: 1,\"+491711234567\",145,\"Anna\"", true, "\"+491711234567\",145,\"Anna\"",
         "+491711234567", "Anna"},
        {"+CPBR: 12,\"0301234\",129,\"Meier, Hans\"", true, "\"0301234\",129,\"Meier, Hans\"",
         "0301234", "Meier, Hans"},
        {"+CPBR: 2,\"\",129,\"Leer\"", true, "\"\",129,\"Leer\"", "", "Leer"},
        {"+CPBR: 3,\"0171\",129,\"\"", true, "\"0171\",129,\"\"", "0171", ""},
        {"+CPBR: 1", false, "", "", ""},
        {"+CPBR: 1,0171,129,Anna", false, "", "", ""},
        {"+CPBR: 1,\"0171\",129", false, "", "", ""},
        {"+CPBR: 1,\"0171\",129,\"Anna", false, "", "", ""},
        {"+CPBR: 1,\",129,\"", false, "", "", ""},
        {"+CPBR:", false, "", "", ""},
    };
    for (const auto& c : cases) {
        const auto e = parseCpbr(c.line);
        ASSERT_EQ(e.has_value(), c.valid) << c.line;
        if (!e) continue;
        EXPECT_EQ(e->stored, c.stored) << c.line;
        EXPECT_EQ(e->number, c.number) << c.line;
        EXPECT_EQ(e->name, c.name) << c.line;
        EXPECT_EQ(e->display, std::string(c.name) + " : " + c.number) << c.line;
    }
}

TEST(Cpbr, OwnNumberTooltip) {
    const auto e = parseCpbr("+CPBR: 1,\"01761234567\",129,\"Ich\"");
    ASSERT_TRUE(e);
    EXPECT_EQ(ownNumberTooltip(e->display, "26207"), "Ich : 01761234567 (26207)");
}
