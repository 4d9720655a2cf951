// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/sms/sms_reception.h"

#include <algorithm>
#include <span>

#include "app/phone/phone_line.h"
#include "app/sms/sms_sending.h"
#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/incoming_sms.h"

SmsReception::SmsReception(Form1& form) : f(form) {}

void SmsReception::ShowReceivedSms() {
    f.Text1->show();
    f.Text2->show();

    const int count =
        std::clamp(f.calls.phoneBookCount, 0, static_cast<int>(f.calls.phoneBook.size()) - 1);
    const std::string hhmm = f.platform().Now().toString(QStringLiteral("hh:mm")).toStdString();
    funkor::IncomingSmsInput in;
    in.pdu = f.sms.smsPdu;
    in.tpduLength = f.sms.smsLength;
    in.index = f.sms.smsIndex;
    in.phoneBook =
        std::span<const std::string>(f.calls.phoneBook.data() + 1, static_cast<std::size_t>(count));
    in.mapBase = f.position.mapBase;
    in.receivedAt = hhmm;
    const funkor::IncomingSms sms = funkor::readIncomingSms(in);

    f.sms.smsSender = sms.sender;
    f.calls.callerName = sms.callerName;
    f.Text1->setText(fromCp1252(sms.senderLine));
    f.Text1->setToolTip(fromCp1252(sms.senderToolTip));
    f.Text2->setText(fromCp1252(sms.text));

    switch (sms.kind) {
        case funkor::SmsKind::PositionRequest:
            answerPositionRequest();
            break;
        case funkor::SmsKind::Position:
            f.platform().Beep();
            // A text too short to hold a position, or with characters that
            // would break the sentences, leaves the last position as it was.
            if (!sms.position) break;
            f.sms.smsRmc = sms.position->sentences.rmc;
            f.sms.smsGga = sms.position->sentences.gga;
            f.sms.smsMapLink = sms.mapLink;
            f.cSMS->setChecked(true);
            if (f.MBlast->isChecked()) f.platform().OpenUrl(fromCp1252(sms.mapLink));
            break;
        case funkor::SmsKind::Plain:
            f.SpeakSms();
            break;
    }
}

void SmsReception::answerPositionRequest() {
    // Whoever asks, the answer goes to the entry chosen in the phone-book
    // list; the trace list keeps a note of every request.
    const QString from = fromCp1252(f.sms.smsSender);
    QString verdict;
    if (!f.ReqPosEn->isChecked()) {
        verdict = QStringLiteral("nicht erlaubt");
    } else if (f.SendPos->isChecked()) {
        verdict = QStringLiteral("nicht beantwortet, eine Position wird schon gesendet");
    } else {
        // The box stays ticked only when a position went into the queue.
        f.smsSending->sendPositionUnattended();
        verdict = f.SendPos->isChecked() ? QStringLiteral("beantwortet")
                                         : QStringLiteral("nicht beantwortet");
    }
    f.phoneLine->addTrace(QStringLiteral("Positionsanfrage von %1: %2").arg(from, verdict), true);
}

void SmsReception::showNextCached() {
    const auto slot = funkor::nextCacheSlot(f.sms.smsCache, f.sms.smsCursor);
    if (!slot) return;
    f.sms.smsCursor = *slot;
    const funkor::CachedSms entry =
        funkor::splitCacheEntry(f.sms.smsCache[static_cast<std::size_t>(*slot)]);
    f.sms.smsIndex = std::to_string(*slot);
    f.sms.smsLength = entry.tpduLength;
    f.sms.smsPdu = entry.pdu;
    f.ShowReceivedSms();
    f.Text1->setToolTip(fromCp1252(funkor::smsNumberToolTip(std::to_string(*slot))));
}

void SmsReception::SMSrd_Click() {
    showNextCached();
}

void SmsReception::Text1_Click() {
    showNextCached();
}

void SmsReception::Text2_MouseDown(int button) {
    if (button == 1) {
        f.SpeakSms();
        return;
    }
    f.Text1->hide();
    f.Text2->hide();
    if (f.platform().YesNo(QStringLiteral("Löschen ?"), QStringLiteral(" SMS")))
        f.sms.smsDeletePending = 1;
}

void SmsReception::SMSc_Click() {
    const std::string number = funkor::kTestCallerNumber;
    const QString time = f.platform().Now().toString(QStringLiteral("hh:mm"));
    f.RingL->show();
    f.RingL->setText(time + QStringLiteral("  ") + fromCp1252(number));
    f.Check1->show();
    f.List2->hide();
    f.FindCallerName(number);
    if (!f.calls.callerName.empty())
        f.RingL->setText(f.RingL->text() + QLatin1Char('\n') + fromCp1252(f.calls.callerName));
    f.sms.smsPdu = funkor::kTestSmsPdu;
    f.sms.smsLength = funkor::kTestSmsTpduLength;
    f.sms.smsIndex = "1";
    f.ShowReceivedSms();
}
