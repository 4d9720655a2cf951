// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/line_framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using funkor::LineFramer;

struct FramingCase {
    const char* legend;
    std::vector<std::string> chunks;  // bytes as they arrive, one receive event each
    std::vector<std::string> lines;
    std::string pending;
};

TEST(LineFramer, FramesAtCarriageReturns) {
    const FramingCase cases[] = {
        {"final code with CR LF, then a lone LF", {"OK\r\n", "\n"}, {"OK"}, ""},
        {"answer, blank line, final code",
         {"+CSQ: 17,99\r\n\r\nOK\r\n"},
         {"+CSQ: 17,99", "OK"},
         ""},
        {"one-character line is held and joins the next", {"1\r", "2\r"}, {"12"}, ""},
        {"one character held alone", {"7\r\n"}, {}, "7"},
        {"line split over two receive events", {"+CS", "Q: 17,99\r"}, {"+CSQ: 17,99"}, ""},
        {"SMS prompt without CR prefixes the next line", {"\r\n> ", "OK\r\n"}, {"> OK"}, ""},
        {"empty lines give nothing", {"\r\n\r\n\r"}, {}, ""},
        {"LF alone never ends a line", {"AB\nCD\r"}, {"ABCD"}, ""},
        {"echo, answer and OK in one event",
         {"AT+CBC\r\r\n+CBC: 0,80\r\n\r\nOK\r\n"},
         {"AT+CBC", "+CBC: 0,80", "OK"},
         ""},
        {"unfinished line stays pending", {"+CREG: 1,\"C6"}, {}, "+CREG: 1,\"C6"},
        {"8-bit bytes pass unchanged", {"\xBB\xE4\xF6\r"}, {"\xBB\xE4\xF6"}, ""},
    };
    for (const auto& c : cases) {
        LineFramer f;
        std::vector<std::string> got;
        for (const auto& chunk : c.chunks)
            for (auto& line : f.feed(chunk)) got.push_back(line);
        EXPECT_EQ(got, c.lines) << c.legend;
        EXPECT_EQ(f.pending(), c.pending) << c.legend;
    }
}

TEST(LineFramer, SingleByteFeedReportsTheCompletingByte) {
    LineFramer f;
    EXPECT_FALSE(f.feed('O'));
    EXPECT_FALSE(f.feed('K'));
    const auto line = f.feed('\r');
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "OK");
    EXPECT_FALSE(f.feed('\n'));
}

TEST(LineFramer, BabblingDeviceCannotGrowTheBuffer) {
    LineFramer f;
    const std::string flood(100 * 1024, 'A');
    EXPECT_TRUE(f.feed(flood).empty());
    EXPECT_EQ(f.pending().size(), LineFramer::kMaxLine);
    const auto lines = f.feed("BBB\rOK\r");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(LineFramer::kMaxLine, 'A'));  // the rest was dropped
    EXPECT_EQ(lines[1], "OK");                                    // framing recovers
}
