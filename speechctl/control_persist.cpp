// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Saving and loading the control's settings inside the host's document:
// the 42-byte stream (version 0x300, extent, then the five voice values,
// each as a 2-byte variant type 3 and a 4-byte value, all little-endian)
// and the property bag with the same seven values by name. A load that
// cannot read every field changes nothing.

#include <cstring>

#include "speechctl/control.h"
#include "speechctl/packing.h"
#include "speechctl/strings.h"

namespace sprelo {

namespace {

void putU32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
std::uint32_t getU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

const char16_t* const kBagNames[7] = {u"_cx",   u"_cy",        u"Volume",   u"Pitch",
                                      u"Speed", u"Intonation", u"Roughness"};

}  // namespace

HRESULT Sprelo4Control::GetClassID(GUID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_Sprelo4Control;
    return S_OK;
}

HRESULT Sprelo4Control::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT Sprelo4Control::InitNew() {
    volume_ = 0;
    pitch_ = 0;
    speed_ = 100;
    intonation_ = 100;
    roughness_ = 0;
    extent_.cx = himetricFromPixels(32, 96);
    extent_.cy = himetricFromPixels(32, 96);
    dirty_ = false;
    return S_OK;
}

HRESULT Sprelo4Control::GetSizeMax(std::uint64_t* size) {
    if (!size) return E_POINTER;
    *size = kStreamSize;
    return S_OK;
}

HRESULT Sprelo4Control::Save(IStream* stream, bool clearDirty) {
    if (!stream) return E_POINTER;
    unsigned char bytes[kStreamSize];
    putU32(bytes, kStreamVersion);
    putU32(bytes + 4, extent_.cx);
    putU32(bytes + 8, extent_.cy);
    const std::int32_t values[5] = {volume_, pitch_, speed_, intonation_, roughness_};
    for (int i = 0; i < 5; ++i) {
        unsigned char* p = bytes + 12 + 6 * i;
        p[0] = VT_I4;
        p[1] = 0;
        putU32(p + 2, static_cast<std::uint32_t>(values[i]));
    }
    std::uint32_t written = 0;
    const HRESULT hr = stream->Write(bytes, kStreamSize, &written);
    if (!Succeeded(hr)) return hr;
    if (written != kStreamSize) return STG_E_WRITEFAULT;
    if (clearDirty) dirty_ = false;
    return S_OK;
}

HRESULT Sprelo4Control::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    unsigned char bytes[kStreamSize];
    std::uint32_t got = 0;
    // A stream may hand its bytes out in pieces.
    while (got < kStreamSize) {
        std::uint32_t n = 0;
        const HRESULT hr = stream->Read(bytes + got, kStreamSize - got, &n);
        if (!Succeeded(hr)) return hr;
        if (n == 0 || n > kStreamSize - got) break;
        got += n;
    }
    if (got != kStreamSize) return STG_E_READFAULT;
    if (getU32(bytes) != kStreamVersion) return E_FAIL;
    std::int32_t values[5];
    for (int i = 0; i < 5; ++i) {
        const unsigned char* p = bytes + 12 + 6 * i;
        if (p[0] != VT_I4 || p[1] != 0) return DISP_E_TYPEMISMATCH;
        values[i] = static_cast<std::int32_t>(getU32(p + 2));
    }
    extent_.cx = getU32(bytes + 4);
    extent_.cy = getU32(bytes + 8);
    put_Volume(values[0]);
    put_Pitch(values[1]);
    put_Speed(values[2]);
    put_Intonation(values[3]);
    put_Roughness(values[4]);
    dirty_ = false;
    return S_OK;
}

HRESULT Sprelo4Control::Save(IPropertyBag* bag, bool clearDirty, bool) {
    if (!bag) return E_POINTER;
    const std::int32_t values[7] = {static_cast<std::int32_t>(extent_.cx),
                                    static_cast<std::int32_t>(extent_.cy),
                                    volume_,
                                    pitch_,
                                    speed_,
                                    intonation_,
                                    roughness_};
    for (int i = 0; i < 7; ++i) {
        VARIANT v;
        v.vt = VT_I4;
        v.lVal = values[i];
        const HRESULT hr = bag->Write(kBagNames[i], &v);
        if (!Succeeded(hr)) return hr;
    }
    if (clearDirty) dirty_ = false;
    return S_OK;
}

HRESULT Sprelo4Control::Load(IPropertyBag* bag) {
    if (!bag) return E_POINTER;
    // Values the bag does not hold keep what they are; a value of another
    // type is refused before anything changes.
    std::int32_t values[7] = {static_cast<std::int32_t>(extent_.cx),
                              static_cast<std::int32_t>(extent_.cy),
                              volume_,
                              pitch_,
                              speed_,
                              intonation_,
                              roughness_};
    for (int i = 0; i < 7; ++i) {
        VARIANT v;
        if (!Succeeded(bag->Read(kBagNames[i], &v))) continue;
        if (v.vt == VT_I4)
            values[i] = v.lVal;
        else if (v.vt == VT_I2)
            values[i] = v.iVal;
        else if (v.vt != VT_EMPTY) {
            if (v.vt == VT_BSTR) freeString(v.bstrVal);
            return DISP_E_TYPEMISMATCH;
        }
    }
    extent_.cx = static_cast<std::uint32_t>(values[0]);
    extent_.cy = static_cast<std::uint32_t>(values[1]);
    put_Volume(values[2]);
    put_Pitch(values[3]);
    put_Speed(values[4]);
    put_Intonation(values[5]);
    put_Roughness(values[6]);
    dirty_ = false;
    return S_OK;
}

}  // namespace sprelo
