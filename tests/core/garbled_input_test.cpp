// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Every reader of outside input gets mutilated versions of real answers:
// each cut at every length, bytes replaced at random, quotes and commas
// thrown in. Each must give a value or nothing, never a crash or a read out
// of bounds (the sanitizer build checks the latter), and what it gives must
// stay within its documented range.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/at_device.h"
#include "core/at_dispatch.h"
#include "core/at_network.h"
#include "core/at_phonebook.h"
#include "core/at_sms.h"
#include "core/line_framer.h"
#include "core/pdu.h"
#include "core/position_sms.h"
#include "core/position_texts.h"

using namespace funkor;

namespace {

// Real answers of a Siemens S45i on O2 Germany, one per answer kind.
const std::vector<std::string> kAnswers = {
    "+CBC: 0,80",
    "+CSQ: 17,99",
    "+CPAS: 0",
    "+CLIP: \"+491761234567\",145",
    "^SSTK: D00F8103012605820282818F0100",
    "+CREG: 2,1,\"52C3\",\"5335\"",
    "+CREG: 1,\"52C3\",\"5335\"",
    "+COPS: 0,2,\"26207\"",
    "+COPS: 0,0,\"o2 - de\"",
    "+COPS: (2,\"o2 - de\",,\"26207\"),(1,\"T-Mobile "
    "D\",,\"26201\"),(3,\"Vodafone.de\",,\"26202\"),,(0-4),(0,2)",
    "+CMGL: 3,1,,23",
    "+CMGR: 1,,23",
    "+CMTI: \"SM\",12",
    "+CPBS: \"SM\",5,100",
    "+CPBR: 1,\"+4917612345678\",145,\"J}rgen M~ller\"",
    "+CRSM: 144,0,"
    "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
    "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
    "000000000000000000000000000000000000000000000000000000000000000000000000",
};

const std::string kPdu =
    "07919471060040340409D041F1F8F9000040112132330400"
    "0BC8329BFD06DDDF723619";
const std::string kPage = "C0000DD00011D3B0ACD5E6A6D569B1E23A0F";

std::vector<std::string> mutations(const std::string& s, std::mt19937& rng) {
    std::vector<std::string> out;
    for (std::size_t n = 0; n <= s.size(); ++n) out.push_back(s.substr(0, n));
    static const char kNasty[] = {'"', ',', '(', ')', ':', ' ', '\r', '\0', '\xFF', 'G', '-', '9'};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kNasty - 1);
    for (int k = 0; k < 200 && !s.empty(); ++k) {
        std::string m = s;
        std::uniform_int_distribution<std::size_t> at(0, m.size() - 1);
        const int edits = 1 + k % 4;
        for (int e = 0; e < edits; ++e) {
            switch ((k + e) % 3) {
                case 0:
                    m[at(rng)] = kNasty[pick(rng)];
                    break;
                case 1:
                    m.insert(at(rng), 1, kNasty[pick(rng)]);
                    break;
                default:
                    m.erase(at(rng), 1);
                    break;
            }
            if (m.empty()) break;
            at = std::uniform_int_distribution<std::size_t>(0, m.size() - 1);
        }
        out.push_back(m);
    }
    return out;
}

}  // namespace

TEST(GarbledInput, AnswerParsersGiveAValueOrNothing) {
    std::mt19937 rng(20261207);
    CountryTable countries;
    countries[262] = "262 DE Deutschland";
    int readable = 0;  // lines some parser took: the mutations stay close to real answers
    for (const auto& answer : kAnswers) {
        for (const auto& line : mutations(answer, rng)) {
            DispatchFlags flags;
            (void)answerSteps(line, flags);
            readable += parseCbc(line) || parseCsq(line) || parseCreg(line) || parseCpbr(line) ||
                        parseCmti(line) || !parseCopsList(line).empty();
            if (auto b = parseCbc(line); b && b->charge) {
                EXPECT_GE(*b->charge, 0) << line;
                EXPECT_LE(*b->charge, 100) << line;
            }
            if (auto s = parseCsq(line)) {
                EXPECT_GE(s->gaugeValue, 0) << line;
                EXPECT_LE(s->gaugeValue, 31) << line;
            }
            (void)parseCpasReady(line);
            (void)parseClip(line);
            if (auto t = parseSstk(line)) {
                EXPECT_EQ(t->distanceMetres, t->value * 546 + 273) << line;
            }
            if (auto r = parseCreg(line); r && r->hasCell()) {
                EXPECT_EQ(r->lac.size(), 4u) << line;
                // 4 hex digits, or 8 for a cell identity that needs them.
                EXPECT_TRUE(r->ci.size() == 4u || (r->ci.size() == 8u && r->ciValue > 0xFFFF))
                    << line;
            }
            (void)parseCopsNumeric(line);
            (void)parseCopsName(line);
            const auto entries = parseCopsList(line);
            (void)operatorSlots(entries, countries);
            if (auto h = parseCmglHeader(line)) {
                EXPECT_GE(h->index, 0);
                EXPECT_LE(h->index, 50);
            }
            (void)parseCmgrLength(line);
            (void)parseCmti(line);
            (void)parseCpbs(line);
            (void)parseCpbr(line);
            const auto zones = parseCrsmZones(line);
            if (zones.home) {
                EXPECT_TRUE(std::isfinite(zones.home->radius)) << line;
            }
            DeviceIdentity id;
            id.manufacturerStep = 1;
            id.identityStep = 1;
            (void)takeIdentityLine(id, line);
            (void)takeScid(id, line);
            (void)starCodeAnswer(line);
            (void)ussdQuotedText(line);
        }
    }
    EXPECT_GT(readable, 300);
}

TEST(GarbledInput, PduAndPageReadersStayInsideTheirInput) {
    std::mt19937 rng(7);
    for (const auto& pdu : mutations(kPdu, rng)) {
        for (int length : {-5, 0, 1, 23, 24, 400}) {
            const auto sms = readSmsDeliver(pdu, length);
            EXPECT_LE(sms.text.size(), 160u + 8u) << pdu;
        }
        EXPECT_LE(decodeSeptets(pdu).size(), pdu.size() / 2 * 8 / 7 + 1) << pdu;
    }
    for (const auto& page : mutations(kPage, rng)) {
        if (auto key = cellBroadcastPosition(page)) {
            EXPECT_EQ(key->size(), 12u) << page;
        }
    }
}

TEST(GarbledInput, PositionTextsNeverBecomeNan) {
    std::mt19937 rng(11);
    const std::vector<std::string> lines = {"4595.4 5821.6    17 Berlin", "", "x",
                                            "9999999999999999999"};
    for (const auto& text : mutations("$523022N,0132708E", rng)) {
        if (auto p = readPositionSms(text, "07.12.26 23:30:00")) {
            EXPECT_TRUE(std::isfinite(p->latitude)) << text;
            EXPECT_TRUE(std::isfinite(p->longitude)) << text;
        }
    }
    for (const auto& key : mutations("459547582169", rng)) {
        (void)findRegionCircle(key, lines);
        (void)cellMapLabel(key, "23:30");
    }
}

TEST(GarbledInput, LineFramerNeverHoldsMoreThanItsCap) {
    LineFramer framer;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> byte(0, 255);
    std::size_t lines = 0;
    for (int i = 0; i < 200000; ++i) {
        // Mostly printable noise, with a carriage return now and then.
        const char c = i % 50000 == 49999 ? '\r' : static_cast<char>(32 + byte(rng) % 90);
        if (framer.feed(c)) ++lines;
        ASSERT_LE(framer.pending().size(), LineFramer::kMaxLine);
    }
    EXPECT_EQ(lines, 4u);
}
