// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/sms/sms_reception.h"

#include <QPushButton>
#include <algorithm>
#include <span>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/phone/phone_line.h"
#include "app/sms/phone_calls.h"
#include "app/sms/sms_sending.h"
#include "core/at_device.h"
#include "core/incoming_sms.h"

SmsReception::SmsReception(const Elements& e, SmsState& sms, CallState& calls,
                           const PositionState& position, Platform& platform, PhoneLine& phoneLine,
                           SmsSending& smsSending, PhoneCalls& phoneCalls,
                           std::function<void(const std::string&)> useSmsPosition)
    : Text1_(e.Text1),
      Text2_(e.Text2),
      SMSrd_(e.SMSrd),
      sms_(sms),
      calls_(calls),
      position_(position),
      platform_(platform),
      phoneLine_(phoneLine),
      smsSending_(smsSending),
      phoneCalls_(phoneCalls),
      useSmsPosition_(std::move(useSmsPosition)) {}

void SmsReception::ShowReceivedSms() {
    Text1_->show();
    Text2_->show();

    const std::string hhmm = platform_.Now().toString(QStringLiteral("hh:mm")).toStdString();
    funkor::IncomingSmsInput in = incomingInput(hhmm);
    in.pdu = sms_.smsPdu;
    in.tpduLength = sms_.smsLength;
    show(funkor::readIncomingSms(in));
}

void SmsReception::showDecodedSms(const std::string& sender, const std::string& timeStamp,
                                  const std::string& text) {
    Text1_->show();
    Text2_->show();
    const std::string hhmm = platform_.Now().toString(QStringLiteral("hh:mm")).toStdString();
    show(funkor::readDecodedSms(sender, timeStamp, text, incomingInput(hhmm)));
}

funkor::IncomingSmsInput SmsReception::incomingInput(const std::string& receivedAt) const {
    const int count =
        std::clamp(calls_.phoneBookCount, 0, static_cast<int>(calls_.phoneBook.size()) - 1);
    funkor::IncomingSmsInput in;
    in.index = sms_.smsIndex;
    in.phoneBook =
        std::span<const std::string>(calls_.phoneBook.data() + 1, static_cast<std::size_t>(count));
    in.mapBase = position_.mapBase;
    in.receivedAt = receivedAt;
    return in;
}

void SmsReception::show(const funkor::IncomingSms& sms) {
    sms_.smsSender = sms.sender;
    calls_.callerName = sms.callerName;
    Text1_->setText(fromCp1252(sms.senderLine));
    Text1_->setToolTip(fromCp1252(sms.senderToolTip));
    Text2_->setText(fromCp1252(sms.text));

    switch (sms.kind) {
        case funkor::SmsKind::PositionRequest:
            answerPositionRequest();
            break;
        case funkor::SmsKind::Position:
            platform_.Beep();
            // A text too short to hold a position, or with characters that
            // would break the sentences, leaves the last position as it was.
            if (!sms.position) break;
            sms_.smsRmc = sms.position->sentences.rmc;
            sms_.smsGga = sms.position->sentences.gga;
            sms_.smsMapLink = sms.mapLink;
            useSmsPosition_(sms.mapLink);
            break;
        case funkor::SmsKind::Plain:
            SpeakSms();
            break;
    }
}

void SmsReception::answerPositionRequest() {
    // Whoever asks, the answer goes to the entry chosen in the phone-book
    // list; the trace list keeps a note of every request.
    const QString from = fromCp1252(sms_.smsSender);
    QString verdict;
    if (!smsSending_.positionRequestsAllowed()) {
        verdict = QStringLiteral("nicht erlaubt");
    } else if (smsSending_.sendingPosition()) {
        verdict = QStringLiteral("nicht beantwortet, eine Position wird schon gesendet");
    } else {
        verdict = smsSending_.sendPositionUnattended() ? QStringLiteral("beantwortet")
                                                       : QStringLiteral("nicht beantwortet");
    }
    phoneLine_.addTrace(QStringLiteral("Positionsanfrage von %1: %2").arg(from, verdict), true);
}

void SmsReception::showNextCached() {
    const auto slot = funkor::nextCacheSlot(sms_.smsCache, sms_.smsCursor);
    if (!slot) return;
    sms_.smsCursor = *slot;
    const funkor::CachedSms entry =
        funkor::splitCacheEntry(sms_.smsCache[static_cast<std::size_t>(*slot)]);
    sms_.smsIndex = std::to_string(*slot);
    sms_.smsLength = entry.tpduLength;
    sms_.smsPdu = entry.pdu;
    ShowReceivedSms();
    Text1_->setToolTip(fromCp1252(funkor::smsNumberToolTip(std::to_string(*slot))));
}

void SmsReception::SMSrd_Click() {
    showNextCached();
}

void SmsReception::Text1_Click() {
    showNextCached();
}

void SmsReception::Text2_MouseDown(int button) {
    if (button == 1) {
        SpeakSms();
        return;
    }
    Text1_->hide();
    Text2_->hide();
    if (platform_.YesNo(QStringLiteral("Löschen ?"), QStringLiteral(" SMS")))
        sms_.smsDeletePending = true;
}

void SmsReception::SMSc_Click() {
    const std::string number = funkor::kTestCallerNumber;
    const QString time = platform_.Now().toString(QStringLiteral("hh:mm"));
    phoneCalls_.showTestCall(time + QStringLiteral("  ") + fromCp1252(number));
    phoneLine_.hideTrace();
    const std::string& name = phoneCalls_.FindCallerName(number);
    if (!name.empty()) phoneCalls_.addCallerName(fromCp1252(name));
    sms_.smsPdu = funkor::kTestSmsPdu;
    sms_.smsLength = funkor::kTestSmsTpduLength;
    sms_.smsIndex = "1";
    ShowReceivedSms();
}

void SmsReception::SpeakSms() {
    phoneCalls_.SpeakSms(toCp1252(Text2_->text()), sms_.smsSender, !Text1_->isHidden());
}

void SmsReception::showSendStatus(const QString& status) {
    showStatus(status, QStringLiteral("SMS-Sendestatus"));
}

void SmsReception::showStatus(const QString& status, const QString& toolTip) {
    Text1_->setText(status);
    Text1_->setToolTip(toolTip);
    Text1_->show();
}

void SmsReception::clearSendStatus() {
    if (!Text1_->text().startsWith(QLatin1String("SMS:"))) return;
    Text1_->setText(QString());
    Text1_->hide();
    Text2_->hide();
}

void SmsReception::appendStarCodeText(const QString& more) {
    Text1_->hide();
    Text2_->show();
    // A network answer that never ends with "OK" cannot make the box grow
    // without bound: lines that no longer fit are dropped.
    if (Text2_->text().size() + more.size() <= funkor::kStarCodeTextLimit)
        Text2_->setText(Text2_->text() + more);
}

void SmsReception::clearText() {
    Text2_->setText(QString());
}

void SmsReception::showReadButton() {
    SMSrd_->show();
}
