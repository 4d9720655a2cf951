// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>

#include "app/base/window_state.h"

// What is read of a running window from outside it (the demo's report, the
// stall probe, the snapshot and the tests): its elements by name and its
// state, neither of them changed through this door.
class WindowView {
  public:
    virtual ~WindowView() = default;

    // The element of that name ("GSM", "Netze(3)"), or null.
    virtual QObject* element(const QString& name) const = 0;
    // The element as its kind, or null when there is none of that name and
    // kind.
    template <class T>
    T* element(const QString& name) const {
        return dynamic_cast<T*>(element(name));
    }

    virtual const PhoneLinkState& phoneState() const = 0;
    virtual const NetworkState& networkState() const = 0;
    virtual const PositionState& positionState() const = 0;
    virtual const OutputState& outputState() const = 0;
    virtual const SmsState& smsState() const = 0;
    virtual const CallState& callState() const = 0;
};
