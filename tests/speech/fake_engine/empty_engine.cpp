// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A shared object without a single Sprelo entry point: an engine library
// that is not one.
extern "C" __attribute__((visibility("default"))) int NotASpeechEngine() {
    return 42;
}
