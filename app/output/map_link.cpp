// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/map_link.h"

#include <QCheckBox>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/output/source_selection.h"
#include "core/position_output.h"
#include "core/position_texts.h"

MapLink::MapLink(const Elements& e, const PositionState& position, const SmsState& sms,
                 Platform& platform, const SourceSelection& sources,
                 std::function<void(const std::string&, const std::string&)> replayToOutput)
    : MBlast_(e.MBlast),
      Timer5_(e.Timer5),
      position_(position),
      sms_(sms),
      platform_(platform),
      sources_(sources),
      replayToOutput_(std::move(replayToOutput)) {}

void MapLink::MBlast_Click() {
    if (!MBlast_->isChecked()) return;
    openAddress(sources_.boxes().sms ? sms_.smsMapLink : position_.mapAddress);
}

void MapLink::Timer5_Timer() {
    replayToOutput_(position_.reviewRmc, position_.reviewGga);
    if (MBlast_->isChecked()) {
        // A logged sentence whose position cannot be read shows no map.
        if (const auto at = funkor::rmcMapPosition(position_.reviewRmc))
            openAddress(funkor::mapAddress(position_.mapBase, at->latitude, at->longitude, "Log"));
    }
}

void MapLink::openAddress(const std::string& address) {
    if (address.empty()) return;
    platform_.OpenUrl(fromCp1252(address));
}

void MapLink::follow(const std::string& address) {
    if (MBlast_->isChecked()) platform_.OpenUrl(fromCp1252(address));
}

void MapLink::startReplay() {
    Timer5_->setEnabled(true);
}

void MapLink::stopReplay() {
    Timer5_->setEnabled(false);
}

bool MapLink::replaying() const {
    return Timer5_->Enabled();
}
