// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Phone books, stored SMS, sending an SMS and the SIM-toolkit request: the
// commands that work on the SIM's storage.
#include <ctime>

#include "tools/phonesim/gsm_text.h"
#include "tools/phonesim/modem.h"
#include "tools/phonesim/modem_util.h"

namespace phonesim {
namespace {

int bcdDigits(char a, char b) {
    return ((b - '0') << 4) | ((a - '0') & 0xF);
}

// Alphabet of a data coding scheme: 0 7-bit, 1 8-bit, 2 UCS2.
int alphabetOf(int dcs) {
    int alphabet = 0;  // 0: 7-bit, 1: 8-bit, 2: UCS2
    if ((dcs & 0xC0) == 0) {
        alphabet = (dcs >> 2) & 3;
    } else if ((dcs & 0xF0) == 0xF0) {
        alphabet = (dcs >> 2) & 1;
    } else if ((dcs & 0xF0) == 0xE0) {
        alphabet = 2;
    }
    return alphabet;
}

// Octets of user data that a TPDU's user data length stands for.
std::size_t userDataOctets(int dcs, int udl) {
    if (alphabetOf(dcs) == 0) return static_cast<std::size_t>((udl * 7 + 7) / 8);
    return static_cast<std::size_t>(udl);
}

}  // namespace

std::string Modem::teText(const std::string& gsm) const {
    if (charset_ == "UCS2") {
        std::string out;
        for (char16_t u : gsmToUcs2(gsm)) out += hex4(u);
        return out;
    }
    // GSM character set: characters that would break the quoted string
    // (backslash, quote, backspace and the GSM "@" 0x00) are sent as a
    // backslash and two hex digits.
    std::string out;
    for (char ch : gsm) {
        if (ch == '\\' || ch == '"' || ch == '\b' || ch == '\0') {
            out += "\\" + toHex(std::string(1, ch));
        } else {
            out += ch;
        }
    }
    return out;
}

bool Modem::fromTeText(const std::string& text, std::string& gsm) const {
    gsm.clear();
    if (charset_ == "UCS2") {
        std::string bytes;
        if (text.size() % 4 != 0 || !fromHex(text, bytes)) return false;
        std::u16string units;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            units += static_cast<char16_t>((static_cast<unsigned char>(bytes[i]) << 8) |
                                           static_cast<unsigned char>(bytes[i + 1]));
        }
        gsm = ucs2ToGsm(units);
        return true;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string byte;
        if (text[i] == '\\' && i + 2 < text.size() && fromHex(text.substr(i + 1, 2), byte)) {
            gsm += byte;
            i += 2;
        } else {
            gsm += static_cast<char>(text[i] & 0x7F);
        }
    }
    return true;
}

void Modem::phoneBook(const Command& c, Reply& r) {
    if (c.name == "+CPBS") {
        if (c.kind == Command::Test) {
            std::string list;
            for (const auto& name : sc_.phoneBookOrder)
                list += (list.empty() ? "" : ",") + quoted(name);
            r.info.push_back("+CPBS: (" + list + ")");
        } else if (c.kind == Command::Read) {
            const auto it = sc_.phoneBooks.find(phoneBookStorage_);
            const int used =
                it == sc_.phoneBooks.end() ? 0 : static_cast<int>(it->second.entries.size());
            const int total = it == sc_.phoneBooks.end() ? 0 : it->second.capacity;
            r.info.push_back("+CPBS: " + quoted(phoneBookStorage_) + "," + std::to_string(used) +
                             "," + std::to_string(total));
        } else if (c.kind == Command::Set && !c.args.empty() &&
                   sc_.phoneBooks.count(c.args[0].text)) {
            phoneBookStorage_ = c.args[0].text;
        } else {
            r.result = Result::Cme;
            r.code = 3;
        }
        return;
    }
    auto found = sc_.phoneBooks.find(phoneBookStorage_);
    if (found == sc_.phoneBooks.end()) {
        r.result = Result::Cme;
        r.code = 3;
        return;
    }
    PhoneBook& book = found->second;
    const std::string range = "(1-" + std::to_string(book.capacity) + ")";
    if (c.name == "+CPBR") {
        if (c.kind == Command::Test) {
            r.info.push_back("+CPBR: " + range + "," + std::to_string(book.numberLength) + "," +
                             std::to_string(book.textLength));
            return;
        }
        int first = 0, last = 0;
        if (c.kind != Command::Set || c.args.empty() || c.args.size() > 2 ||
            !parseNumber(c.args[0].text, first) ||
            (c.args.size() == 2 ? !parseNumber(c.args[1].text, last) : (last = first, false))) {
            r.result = Result::Error;
            return;
        }
        if (first < 1 || first > book.capacity || last < first) {
            r.result = Result::Cme;
            r.code = 21;
            return;
        }
        // Empty locations give no line; the read still ends with OK.
        for (auto it = book.entries.lower_bound(first);
             it != book.entries.end() && it->first <= last; ++it) {
            const PhoneBookEntry& e = it->second;
            const int type = !e.number.empty() && e.number[0] == '+' ? 145 : 129;
            r.info.push_back("+CPBR: " + std::to_string(it->first) + "," + quoted(e.number) + "," +
                             std::to_string(type) + "," + quoted(teText(e.name)));
        }
        if (last > book.capacity) {
            r.result = Result::Cme;
            r.code = 21;
        }
        return;
    }
    // +CPBW
    if (c.kind == Command::Test) {
        r.info.push_back("+CPBW: " + range + "," + std::to_string(book.numberLength) +
                         ",(129,145)," + std::to_string(book.textLength));
        return;
    }
    if (c.kind != Command::Set || c.args.empty()) {
        r.result = Result::Error;
        return;
    }
    int index = 0;
    if (c.args[0].text.empty()) {
        for (int i = 1; i <= book.capacity && index == 0; ++i) {
            if (!book.entries.count(i)) index = i;
        }
        if (index == 0) {
            r.result = Result::Cme;
            r.code = 20;  // memory full
            return;
        }
    } else if (!parseNumber(c.args[0].text, index)) {
        r.result = Result::Error;
        return;
    }
    if (index < 1 || index > book.capacity) {
        r.result = Result::Cme;
        r.code = 21;
        return;
    }
    if (c.args.size() == 1) {
        book.entries.erase(index);
        return;
    }
    PhoneBookEntry e;
    e.number = c.args[1].text;
    int type = 129;
    if (c.args.size() > 2 && !c.args[2].text.empty() && !parseNumber(c.args[2].text, type)) {
        r.result = Result::Error;
        return;
    }
    if (type == 145 && !e.number.empty() && e.number[0] != '+') e.number = "+" + e.number;
    if (c.args.size() > 3 && !fromTeText(c.args[3].text, e.name)) {
        r.result = Result::Error;
        return;
    }
    if (static_cast<int>(e.number.size()) > book.numberLength + 1 ||
        static_cast<int>(e.name.size()) > book.textLength) {
        r.result = Result::Cme;
        r.code = 24;
        return;
    }
    book.entries[index] = e;
}

int Modem::usedSms() const {
    return static_cast<int>(sc_.sms.size());
}

void Modem::messages(const Command& c, Reply& r) {
    const std::string& n = c.name;
    const bool set = c.kind == Command::Set;
    auto cms = [&r](int code) {
        r.result = Result::Cms;
        r.code = code;
    };
    const std::string counts = std::to_string(usedSms()) + "," + std::to_string(sc_.smsCapacity);
    if (n == "+CNMI") {
        if (c.kind == Command::Read) {
            std::string line = "+CNMI: ";
            for (int i = 0; i < 5; ++i) line += (i ? "," : "") + std::to_string(cnmi_[i]);
            r.info.push_back(line);
        } else if (c.kind == Command::Test) {
            r.info.push_back("+CNMI: (0-3),(0-3),(0,2,3),(0-2),(0,1)");
        } else if (set && c.args.size() <= 5) {
            static const int kMax[5] = {3, 3, 3, 2, 1};
            int values[5];
            std::copy(cnmi_, cnmi_ + 5, values);
            for (std::size_t i = 0; i < c.args.size(); ++i) {
                if (c.args[i].text.empty()) continue;
                if (!parseNumber(c.args[i].text, values[i]) || values[i] > kMax[i] ||
                    (i == 2 && values[i] == 1)) {
                    cms(303);
                    return;
                }
            }
            std::copy(values, values + 5, cnmi_);
        } else {
            r.result = Result::Error;
        }
    } else if (n == "+CPMS") {
        if (c.kind == Command::Test) {
            r.info.push_back("+CPMS: (\"SM\"),(\"SM\"),(\"SM\")");
        } else if (c.kind == Command::Read) {
            r.info.push_back("+CPMS: \"SM\"," + counts + ",\"SM\"," + counts + ",\"SM\"," + counts);
        } else if (set && !c.args.empty() && c.args.size() <= 3) {
            for (const auto& a : c.args) {
                if (a.text != "SM") {
                    cms(302);
                    return;
                }
            }
            r.info.push_back("+CPMS: " + counts + "," + counts + "," + counts);
        } else {
            r.result = Result::Error;
        }
    } else if (n == "+CMGF") {
        // PDU mode only.
        if (c.kind == Command::Test) {
            r.info.push_back("+CMGF: (0)");
        } else if (c.kind == Command::Read) {
            r.info.push_back("+CMGF: 0");
        } else if (!(set && c.args.size() == 1 && c.args[0].text == "0")) {
            cms(303);
        }
    } else if (n == "+CMGL") {
        int stat = 0;
        if (c.kind == Command::Test) {
            r.info.push_back("+CMGL: (0-4)");
            return;
        }
        if (c.kind == Command::Read ||
            (set && (c.args.size() != 1 || !parseNumber(c.args[0].text, stat) || stat > 4))) {
            cms(304);
            return;
        }
        for (auto& [index, sms] : sc_.sms) {
            const int s = static_cast<int>(sms.status);
            if (stat != 4 && s != stat) continue;
            r.info.push_back("+CMGL: " + std::to_string(index) + "," + std::to_string(s) + ",," +
                             std::to_string(sms.tpduLength));
            r.info.push_back(sms.pdu);
            if (sms.status == SmsStatus::Unread) sms.status = SmsStatus::Read;
        }
    } else if (n == "+CMGR" || n == "+CMGD") {
        int index = 0, flag = 0;
        if (c.kind == Command::Test) return;
        if (!set || c.args.empty() || c.args.size() > 2 || !parseNumber(c.args[0].text, index) ||
            (c.args.size() == 2 &&
             (n == "+CMGR" || !parseNumber(c.args[1].text, flag) || flag > 4))) {
            r.result = Result::Error;
            return;
        }
        if ((index < 1 && flag == 0) || index > sc_.smsCapacity) {
            cms(321);
            return;
        }
        if (n == "+CMGD") {
            for (auto it = sc_.sms.begin(); it != sc_.sms.end();) {
                const int s = static_cast<int>(it->second.status);
                const bool drop = flag == 0 ? it->first == index
                                            : (flag == 4 || s == 1 || (flag >= 2 && s == 3) ||
                                               (flag >= 3 && s == 2));
                it = drop ? sc_.sms.erase(it) : std::next(it);
            }
            return;
        }
        auto it = sc_.sms.find(index);
        if (it == sc_.sms.end()) {
            r.info.push_back("+CMGR: 0,,0");  // an empty location, as this phone reports it
            return;
        }
        r.info.push_back("+CMGR: " + std::to_string(static_cast<int>(it->second.status)) + ",," +
                         std::to_string(it->second.tpduLength));
        r.info.push_back(it->second.pdu);
        if (it->second.status == SmsStatus::Unread) it->second.status = SmsStatus::Read;
    } else if (n == "+CMGS" || n == "^SSTK") {
        int length = 0, type = 0;
        if (c.kind == Command::Test) return;
        const bool sms = n == "+CMGS";
        if (!set || c.args.empty() || !parseNumber(c.args[0].text, length) || length < 1 ||
            length > (sms ? 164 : 255) ||
            (!sms && (c.args.size() != 2 || !parseNumber(c.args[1].text, type) || type != 0))) {
            if (sms) {
                cms(304);
            } else {
                r.result = Result::Error;
            }
            return;
        }
        prompt_ = sms ? Prompt::Sms : Prompt::Toolkit;
        promptLength_ = length;
        pdu_.clear();
        pduOverflow_ = false;
        r.result = Result::Prompt;
    } else if (n == "+CSCA") {
        if (c.kind == Command::Read) {
            r.info.push_back("+CSCA: " + quoted(sc_.smsc) + "," +
                             (sc_.smsc.rfind('+', 0) == 0 ? "145" : "129"));
        } else if (set && !c.args.empty() && !c.args[0].text.empty()) {
            sc_.smsc = c.args[0].text;
        } else if (c.kind != Command::Test) {
            r.result = Result::Error;
        }
    } else if (n == "+CSMS") {
        if (c.kind == Command::Read) {
            r.info.push_back("+CSMS: 0,1,1,1");
        } else if (c.kind == Command::Test) {
            r.info.push_back("+CSMS: (0)");
        } else if (set && c.args.size() == 1 && c.args[0].text == "0") {
            r.info.push_back("+CSMS: 1,1,1");
        } else {
            cms(303);
        }
    }
}

void Modem::submitSms(const std::string& hex, Reply& r) {
    r.result = Result::Cms;
    r.code = 304;  // invalid PDU mode parameter
    std::string bytes;
    if (!fromHex(hex, bytes) || bytes.empty()) return;
    const std::size_t sca = static_cast<unsigned char>(bytes[0]);
    if (1 + sca >= bytes.size()) return;
    const std::string tpdu = bytes.substr(1 + sca);
    if (static_cast<int>(tpdu.size()) != promptLength_ || tpdu.size() < 7) return;
    auto at = [&tpdu](std::size_t i) {
        return i < tpdu.size() ? static_cast<unsigned char>(tpdu[i]) : -1;
    };
    const int first = at(0);
    if ((first & 3) != 1) return;  // not an SMS-SUBMIT
    const int vpf = (first >> 3) & 3;
    const std::size_t vpLength = vpf == 2 ? 1 : (vpf == 0 ? 0 : 7);
    const int digits = at(2);
    if (digits < 0 || digits > 20) return;
    const int toa = at(3);
    const std::size_t daEnd = 4 + static_cast<std::size_t>((digits + 1) / 2);
    const int dcs = at(daEnd + 1);
    const std::size_t udlAt = daEnd + 2 + vpLength;
    const int udl = at(udlAt);
    if (dcs < 0 || udl < 0 || udl > 160) return;
    const std::size_t octets = userDataOctets(dcs, udl);
    if (octets > 140 || udlAt + 1 + octets != tpdu.size()) return;
    if (!registered_) {
        r.code = 331;  // no network service
        return;
    }
    messageRef_ = (messageRef_ + 1) & 0xFF;
    r.result = Result::Ok;
    r.info.push_back("+CMGS: " + std::to_string(messageRef_));
    if (onCommandLine) {
        const std::string number =
            decodeAddressDigits(tpdu.substr(4, daEnd - 4), static_cast<std::size_t>(digits), toa);
        const bool sevenBit = alphabetOf(dcs) == 0;
        const std::string text =
            sevenBit
                ? gsmToUtf8(unpackSeptets(tpdu.substr(udlAt + 1), static_cast<std::size_t>(udl)))
                : "(binary)";
        onCommandLine("(SMS sent to " + number + ": " + text + ")");
    }
}

void Modem::toolkitResponse(const std::string& hex, Reply& r) {
    std::string bytes;
    if (!fromHex(hex, bytes) || static_cast<int>(bytes.size()) != promptLength_ ||
        bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xD0) {
        r.result = Result::Error;
        return;
    }
    // Find the command details object (tag 01, with or without the
    // comprehension bit) in the proactive command.
    std::string details;
    for (std::size_t p = 2; p + 1 < bytes.size();) {
        const int tag = static_cast<unsigned char>(bytes[p]) & 0x7F;
        const std::size_t len = static_cast<unsigned char>(bytes[p + 1]);
        if (tag == 0x01 && len == 3 && p + 5 <= bytes.size()) details = bytes.substr(p + 2, 3);
        p += 2 + len;
    }
    if (details.empty()) {
        r.result = Result::Error;
        return;
    }
    std::string resp = std::string("\x81\x03", 2) + details + std::string("\x82\x02\x82\x81", 4);
    const int type = static_cast<unsigned char>(details[1]);
    const int qualifier = static_cast<unsigned char>(details[2]);
    const std::string ok("\x83\x01\x00", 3);
    if (type != 0x26) {
        resp += std::string("\x83\x01\x30", 3);  // beyond the phone's capabilities
    } else if (!registered_ && qualifier != 0x01 && qualifier != 0x03) {
        resp += std::string("\x83\x02\x20\x04", 4);  // unable to process: no service
    } else if (qualifier == 0x00) {
        const std::string& op = cell().operatorCode;
        resp += ok + std::string("\x13\x07", 2);
        resp += static_cast<char>(bcdDigits(op[0], op[1]));
        resp += static_cast<char>(0xF0 | (op[2] - '0'));
        resp += static_cast<char>(bcdDigits(op[3], op.size() > 4 ? op[4] : '0'));
        resp += static_cast<char>(cell().lac >> 8);
        resp += static_cast<char>(cell().lac & 0xFF);
        resp += static_cast<char>(cell().ci >> 8);
        resp += static_cast<char>(cell().ci & 0xFF);
    } else if (qualifier == 0x01) {
        const std::string imei = (sc_.imei + "000000000000000").substr(0, 15);
        resp += ok + std::string("\x14\x08", 2);
        resp += static_cast<char>(((imei[0] - '0') << 4) | 0x0A);
        for (std::size_t i = 1; i + 1 < imei.size(); i += 2)
            resp += static_cast<char>(bcdDigits(imei[i], imei[i + 1]));
    } else if (qualifier == 0x03) {
        const std::time_t t = std::time(nullptr);
        std::tm tm{};
        localtime_r(&t, &tm);
        TimeStamp ts{tm.tm_year + 1900,
                     tm.tm_mon + 1,
                     tm.tm_mday,
                     tm.tm_hour,
                     tm.tm_min,
                     tm.tm_sec,
                     static_cast<int>(tm.tm_gmtoff / 900)};
        resp += ok + std::string("\x26\x07", 2) + encodeTimeStamp(ts);
    } else if (qualifier == 0x05) {
        // Timing advance: ME status (idle), then the advance in bit periods.
        resp += ok + std::string("\x2E\x02\x00", 3);
        resp += static_cast<char>(cell().timingAdvance);
    } else {
        resp += std::string("\x83\x01\x30", 3);
    }
    r.info.push_back("^SSTK: " + toHex(resp));
}

}  // namespace phonesim
