// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The speech engine's side of Sprelo4Cntrl: the entry points an engine
// library exports (plain C, looked up by name with dlsym) and the record it
// writes into a notification channel.
//
// Texts are narrow strings in the system code page (UTF-8 here). Results
// that are texts are written by the engine into the caller's buffer of the
// given size; an engine never writes more than that many bytes.
//
// Notifications: the host hands the engine a channel handle (a file
// descriptor the engine may write to), a message number per notification
// kind and 0. The engine reports each notification by writing one
// SpreloNotification record of 12 bytes with a single write(), which a pipe
// keeps whole. The channel is non-blocking: when it is full the engine drops
// the record rather than wait. Engines write from a thread of their own and
// must block SIGPIPE there, since the host may have gone.

#include <stdint.h>

#ifdef __cplusplus
#define SPRELO_EXTERN_C extern "C"
#else
#define SPRELO_EXTERN_C
#endif
#define SPRELO_ENGINE_API SPRELO_EXTERN_C __attribute__((visibility("default")))

struct SpreloNotification {
    uint32_t message;
    int32_t wParam;
    int32_t lParam;
};

// Message numbers the control registers for its eight notification kinds.
enum {
    SPRELO_MSG_ACTION = 5120,
    SPRELO_MSG_MARK = 5121,
    SPRELO_MSG_CHUNK = 5122,
    SPRELO_MSG_PARAM = 5123,
    SPRELO_MSG_SENTENCE = 5124,
    SPRELO_MSG_WORD = 5125,
    SPRELO_MSG_MOUTH = 5126,
    SPRELO_MSG_VISEME = 5127
};

// Function types of the entry points, by shape.
typedef int32_t (*SpreloNoArgFn)(void);
typedef void (*SpreloVoidFn)(void);
typedef int32_t (*SpreloIntArgFn)(int32_t);
typedef uint32_t (*SpreloUIntResultFn)(void);
typedef uint32_t (*SpreloUIntArgResultFn)(int32_t);
typedef int32_t (*SpreloSetUIntFn)(uint32_t);
typedef int32_t (*SpreloTextFn)(const char*);
typedef int32_t (*SpreloSpeakFn)(const char* text, int32_t action);
typedef int32_t (*SpreloRecordFn)(const char* file, const char* text, int32_t action);
typedef int32_t (*SpreloBufferFn)(int32_t nth, char* buffer, int32_t size);
typedef int32_t (*SpreloUuidFn)(int32_t nth, unsigned char* buffer, int32_t size);
typedef int32_t (*SpreloNotifyFn)(intptr_t channel, uint32_t message, int32_t reserved);
