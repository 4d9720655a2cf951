// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/phonesim/scenario.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tools/phonesim/gsm_text.h"

namespace phonesim {
namespace {

std::string str(const QJsonValue& v, const std::string& fallback = {}) {
    if (v.isString()) return v.toString().toStdString();
    if (v.isDouble()) return QString::number(v.toDouble(), 'g', 15).toStdString();
    return fallback;
}

// LAC and CI are written as hex text ("526D") like the phone shows them, or
// as plain numbers.
int hexOrNumber(const QJsonValue& v) {
    if (v.isDouble()) return v.toInt();
    bool ok = false;
    const int n = v.toString().toInt(&ok, 16);
    return ok ? n : -1;
}

bool readSms(const QJsonObject& o, const std::string& smsc, StoredSms& sms, std::string& error) {
    const QString status = o.value("status").toString("read");
    if (status == "unread") {
        sms.status = SmsStatus::Unread;
    } else if (status == "read") {
        sms.status = SmsStatus::Read;
    } else if (status == "unsent") {
        sms.status = SmsStatus::Unsent;
    } else if (status == "sent") {
        sms.status = SmsStatus::Sent;
    } else {
        error = "unknown SMS status " + status.toStdString();
        return false;
    }
    if (o.contains("pdu")) {
        const std::string hex = str(o.value("pdu"));
        std::string bytes;
        if (!fromHex(hex, bytes) || bytes.empty() ||
            static_cast<unsigned char>(bytes[0]) + 1u >= bytes.size()) {
            error = "malformed SMS PDU " + hex;
            return false;
        }
        sms.pdu = toHex(bytes);
        sms.tpduLength = static_cast<int>(bytes.size()) - 1 - static_cast<unsigned char>(bytes[0]);
        return true;
    }
    TimeStamp ts;
    const std::string time = str(o.value("time"), "2026-01-01T12:00:00+01:00");
    if (!parseTimeStamp(time, ts)) {
        error = "malformed SMS time " + time;
        return false;
    }
    const std::string text = str(o.value("text"));
    // "ascii": packed as a PC program packs text (the low seven bits of each
    // character), as position messages from another computer arrive.
    const bool ascii = o.value("alphabet").toString() == "ascii";
    const std::string septets = ascii ? utf8ToAscii7(text) : utf8ToGsm(text);
    sms.pdu =
        buildDeliverPdu(smsc, str(o.value("sender"), "+491760000000"), ts, septets, sms.tpduLength);
    return true;
}

bool readZone(const QJsonValue& v, Zone& z) {
    if (!v.isObject()) return false;
    const QJsonObject o = v.toObject();
    z.easting = static_cast<long>(o.value("easting").toDouble());
    z.northing = static_cast<long>(o.value("northing").toDouble());
    z.radius = static_cast<long>(o.value("radius").toDouble());
    z.name = utf8ToGsm(str(o.value("name")));
    return true;
}

int findCell(const Scenario& s, const QJsonValue& v) {
    if (v.isDouble())
        return v.toInt() >= 0 && v.toInt() < static_cast<int>(s.cells.size()) ? v.toInt() : -1;
    const std::string name = str(v);
    for (std::size_t i = 0; i < s.cells.size(); ++i) {
        if (s.cells[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

bool readTimeline(const QJsonArray& events, Scenario& s, std::string& error) {
    for (const auto& ev : events) {
        const QJsonObject o = ev.toObject();
        Event e;
        e.at = o.value("t").toDouble();
        if (o.contains("cell")) {
            e.kind = EventKind::Cell;
            e.cell = findCell(s, o.value("cell"));
            if (e.cell < 0) {
                error = "time line names an unknown cell " + str(o.value("cell"));
                return false;
            }
        } else if (o.contains("ring")) {
            e.kind = EventKind::Ring;
            e.number = str(o.value("ring"));
            e.rings = o.value("rings").toInt(4);
        } else if (o.contains("sms")) {
            e.kind = EventKind::Sms;
            QJsonObject m = o.value("sms").toObject();
            if (!m.contains("status")) m.insert("status", "unread");
            if (!readSms(m, s.smsc, e.sms, error)) return false;
        } else if (o.contains("network")) {
            const QString what = o.value("network").toString();
            if (what != "lost" && what != "back") {
                error = "network event must be \"lost\" or \"back\"";
                return false;
            }
            e.kind = what == "lost" ? EventKind::NetworkLost : EventKind::NetworkBack;
        } else if (o.contains("battery")) {
            e.kind = EventKind::Battery;
            e.value = o.value("battery").toInt();
            e.charging = o.value("charging").toBool(false);
        } else if (o.contains("signal")) {
            e.kind = EventKind::Signal;
            e.value = o.value("signal").toInt();
        } else {
            error = "time line event without a known kind";
            return false;
        }
        s.timeline.push_back(e);
    }
    return true;
}

// "radio": {"density": "city", "radio": "LTE", "seed": 7, "speed": 14, ...}
bool readRadioDrive(const QJsonValue& v, RadioDrive& r, std::string& error) {
    if (v.isUndefined() || v.isNull()) return true;
    if (!v.isObject()) {
        error = "radio must be an object";
        return false;
    }
    const QJsonObject o = v.toObject();
    r.on = true;
    r.density = str(o.value("density"), r.density);
    if (r.density != "city" && r.density != "suburban" && r.density != "rural") {
        error = "radio density must be city, suburban or rural";
        return false;
    }
    const std::string radio = str(o.value("radio"), "GSM");
    if (radio != "GSM" && radio != "LTE") {
        error = "radio must be GSM or LTE";
        return false;
    }
    r.lte = radio == "LTE";
    const double seed = o.value("seed").toDouble(1);
    r.speed = o.value("speed").toDouble(r.speed);
    r.seconds = o.value("seconds").toDouble(r.seconds);
    r.tick = o.value("tick").toDouble(r.tick);
    r.neighboursWithIdentity = o.value("neighboursWithIdentity").toBool(r.neighboursWithIdentity);
    r.databaseSamples = o.value("databaseSamples").toInt(r.databaseSamples);
    // A day of readings at most, none faster than ten a second.
    if (seed < 0 || seed > 1e15 || r.speed < 0 || r.speed > 100 || r.tick < 1 || r.tick > 60 ||
        r.seconds < r.tick || r.seconds > 86400 || r.databaseSamples < 5 ||
        r.databaseSamples > 1000) {
        error =
            "radio: seed, speed (0..100 m/s), tick (1..60 s), seconds or databaseSamples (5..1000) "
            "out of range";
        return false;
    }
    r.seed = static_cast<std::uint64_t>(seed);
    return true;
}

}  // namespace

bool deviceByName(const std::string& name, Device& out) {
    if (name == "s45i") {
        out = Device::S45i;
    } else if (name == "lte-modem") {
        out = Device::LteModem;
    } else if (name == "gsm-module") {
        out = Device::GsmModule;
    } else if (name == "ublox-module") {
        out = Device::UbloxModule;
    } else {
        return false;
    }
    return true;
}

const char* deviceName(Device device) {
    switch (device) {
        case Device::LteModem:
            return "lte-modem";
        case Device::GsmModule:
            return "gsm-module";
        case Device::UbloxModule:
            return "ublox-module";
        default:
            return "s45i";
    }
}

void useDevice(Scenario& s, Device device) {
    s.device = device;
    if (s.manufacturer != "SIEMENS") return;
    switch (device) {
        case Device::LteModem:
            s.manufacturer = "Quectel";
            s.model = "EC25";
            s.revision = "EC25EFAR06A03M4G";
            break;
        case Device::GsmModule:
            s.manufacturer = "SIMCOM_Ltd";
            s.model = "SIMCOM_SIM800";
            s.revision = "Revision:1418B04SIM800M32";
            break;
        case Device::UbloxModule:
            s.manufacturer = "u-blox";
            s.model = "SARA-G350";
            s.revision = "08.90";
            break;
        default:
            break;
    }
}

bool loadScenario(const std::string& path, Scenario& s, std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot open " + path;
        return false;
    }
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        error = path + ": " + parseError.errorString().toStdString();
        return false;
    }
    const QJsonObject root = doc.object();

    const QJsonObject phone = root.value("phone").toObject();
    s.manufacturer = str(phone.value("manufacturer"), s.manufacturer);
    s.model = str(phone.value("model"), s.model);
    s.revision = str(phone.value("revision"), s.revision);
    s.imei = str(phone.value("imei"), s.imei);
    if (phone.contains("device")) {
        Device device = Device::S45i;
        if (!deviceByName(str(phone.value("device")), device)) {
            error = path + ": unknown device " + str(phone.value("device"));
            return false;
        }
        useDevice(s, device);
    }

    const QJsonObject sim = root.value("sim").toObject();
    s.imsi = str(sim.value("imsi"), s.imsi);
    s.iccid = str(sim.value("iccid"), s.iccid);
    s.smsc = str(sim.value("smsc"), s.smsc);
    Zone home, city;
    const bool hasHome = readZone(sim.value("homeZone"), home);
    const bool hasCity = readZone(sim.value("cityZone"), city);
    s.zones.assign(4, Zone{});
    if (hasHome) s.zones[0] = home;
    if (hasCity) s.zones[3] = city;

    for (const auto& v : root.value("phoneBooks").toArray()) {
        const QJsonObject o = v.toObject();
        const std::string storage = str(o.value("storage"));
        if (storage.empty()) continue;
        PhoneBook book;
        book.capacity = o.value("capacity").toInt(100);
        book.numberLength = o.value("numberLength").toInt(20);
        book.textLength = o.value("textLength").toInt(14);
        for (const auto& ev : o.value("entries").toArray()) {
            const QJsonObject e = ev.toObject();
            const int index = e.value("index").toInt();
            if (index < 1 || index > book.capacity) {
                error = "phone book " + storage + ": index out of range";
                return false;
            }
            book.entries[index] = {str(e.value("number")), utf8ToGsm(str(e.value("name")))};
        }
        s.phoneBookOrder.push_back(storage);
        s.phoneBooks[storage] = book;
    }

    const QJsonObject sms = root.value("sms").toObject();
    s.smsCapacity = sms.value("capacity").toInt(s.smsCapacity);
    for (const auto& v : sms.value("messages").toArray()) {
        const QJsonObject o = v.toObject();
        const int index = o.value("index").toInt();
        if (index < 1 || index > s.smsCapacity) {
            error = "SMS index out of range";
            return false;
        }
        StoredSms m;
        if (!readSms(o, s.smsc, m, error)) return false;
        s.sms[index] = m;
    }

    const QJsonObject battery = root.value("battery").toObject();
    s.battery = battery.value("charge").toInt(s.battery);
    s.charging = battery.value("charging").toBool(s.charging);
    s.signal = root.value("signal").toInt(s.signal);

    for (const auto& v : root.value("networks").toArray()) {
        const QJsonObject o = v.toObject();
        s.networks.push_back(
            {str(o.value("code")), str(o.value("name")), o.value("forbidden").toBool(false)});
    }
    for (const auto& v : root.value("cells").toArray()) {
        const QJsonObject o = v.toObject();
        Cell c;
        c.name = str(o.value("name"));
        c.lac = hexOrNumber(o.value("lac"));
        c.ci = hexOrNumber(o.value("ci"));
        c.operatorCode = str(o.value("operator"), "26207");
        c.positionKey = str(o.value("position"));
        c.timingAdvance = o.value("ta").toInt(0);
        c.signal = o.value("signal").toInt(-1);
        // LTE and UMTS cells have 28-bit identities, GSM cells 16-bit ones.
        const int maxCi = s.device == Device::LteModem ? 0xFFFFFFF : 0xFFFF;
        if (c.lac < 0 || c.lac > 0xFFFF || c.ci < 0 || c.ci > maxCi) {
            error = "cell " + c.name + ": LAC and CI must be 16-bit values (CI of LTE: 28 bits)";
            return false;
        }
        if (!c.positionKey.empty() && c.positionKey.size() != 12) {
            error = "cell " + c.name + ": position must have 12 digits";
            return false;
        }
        if (c.timingAdvance < 0 || c.timingAdvance > 63) {
            error = "cell " + c.name + ": timing advance must be 0..63";
            return false;
        }
        s.cells.push_back(c);
    }
    if (!readRadioDrive(root.value("radio"), s.radio, error)) {
        error = path + ": " + error;
        return false;
    }
    if (s.cells.empty() && !s.radio.on) {
        error = "the scenario needs at least one cell";
        return false;
    }
    if (root.contains("startCell")) {
        s.startCell = findCell(s, root.value("startCell"));
        if (s.startCell < 0) {
            error = "unknown start cell";
            return false;
        }
    }
    s.broadcastEvery = root.value("broadcastEvery").toDouble(s.broadcastEvery);
    s.operatorScanSeconds = root.value("operatorScanSeconds").toDouble(s.operatorScanSeconds);
    const QJsonObject services = root.value("services").toObject();
    for (auto it = services.begin(); it != services.end(); ++it) {
        s.services[it.key().toStdString()] = str(it.value());
    }
    s.unknownServiceAnswer = str(root.value("unknownServiceAnswer"), s.unknownServiceAnswer);
    s.repeatEvery = root.value("repeatEvery").toDouble(0);
    return readTimeline(root.value("timeline").toArray(), s, error);
}

std::string buildZoneFile(const std::vector<Zone>& zones) {
    std::string data(18, '\0');
    auto put32 = [&data](long v) {
        const auto u = static_cast<unsigned long>(v);
        for (int shift = 24; shift >= 0; shift -= 8) data += static_cast<char>((u >> shift) & 0xFF);
    };
    for (std::size_t i = 0; i < 4; ++i) {
        const Zone z = i < zones.size() ? zones[i] : Zone{};
        put32(z.easting);
        put32(z.northing);
        const long r10 = z.radius / 10;
        put32(r10 * r10);
        data += static_cast<char>(z.radius > 0 ? i + 1 : 0);
        std::string name = z.name.substr(0, 13);
        name.resize(13, '\xFF');
        data += name;
    }
    data += '\xFF';
    return data;
}

}  // namespace phonesim
