// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The control's dispatch entry: names to dispatch ids, and Invoke, which
// takes the arguments from variants (last argument first), calls the method
// and hands out parameters back through by-reference variants. A caller may
// leave out the last out parameter; its value then comes back as the
// result.

#include <cstring>
#include <string>

#include "speechctl/control.h"
#include "speechctl/strings.h"

namespace sprelo {

namespace {

enum class P { InI4, InI2, InStr, OutI4, OutI2, OutStr };

struct Member {
    DISPID id;
    const char* name;
    std::initializer_list<P> params;
};

// Parameters in declaration order.
const Member kMembers[] = {
    {1, "DLLVersion", {P::OutI4}},
    {2, "ServerVersion", {P::OutI4}},
    {4, "Initialize", {P::OutI4}},
    {5, "IsConnected", {P::OutI4}},
    {6, "Disconnect", {}},
    {7, "Speak", {P::InStr, P::InI4, P::OutI4}},
    {8, "Pause", {P::OutI4}},
    {9, "Resume", {P::OutI4}},
    {10, "Stop", {P::OutI4}},
    {11, "Record", {P::InStr, P::InStr, P::InI4, P::OutI4}},
    {12, "IsBusy", {P::OutI4}},
    {13, "IsPaused", {P::OutI4}},
    {14, "GetNumberOfFonts", {P::OutI4}},
    {15, "FindFontAlias", {P::InStr, P::OutI4}},
    {16, "GetFontName", {P::InI4, P::OutStr}},
    {17, "GetFontAlias", {P::InI4, P::OutStr}},
    {18, "GetFontUUID", {P::InI4, P::OutStr}},
    {19, "GetFontDate", {P::InI4, P::OutI2, P::OutI2, P::OutI2, P::OutI2, P::OutI2, P::OutI4}},
    {20, "GetFontVersion", {P::InI4, P::OutI4}},
    {21, "GetFontFlags", {P::InI4, P::OutI4}},
    {22, "LoadSettings", {P::InStr, P::OutI4}},
    {23, "SaveSettings", {P::InStr, P::OutI4}},
    {24, "ResetLocal", {P::OutI4}},
    {25, "ResetGlobal", {P::OutI4}},
    {26, "SetAudioFormat", {P::InI4, P::InI2, P::InI2, P::OutI4}},
    {27, "GetAudioFormat", {P::OutI4, P::OutI2, P::OutI2, P::OutI4}},
    {28, "SetLocalFont", {P::InI4, P::OutI4}},
    {29, "GetLocalFont", {P::OutI4}},
    {30, "SetGlobalFont", {P::InI4, P::OutI4}},
    {31, "GetGlobalFont", {P::OutI4}},
    {32, "SetLocalVolume", {P::InI4, P::OutI4}},
    {33, "GetLocalVolume", {P::OutI4}},
    {34, "SetGlobalVolume", {P::InI4, P::OutI4}},
    {35, "GetGlobalVolume", {P::OutI4}},
    {36, "SetLocalPitch", {P::InI4, P::OutI4}},
    {37, "GetLocalPitch", {P::OutI4}},
    {38, "SetGlobalPitch", {P::InI4, P::OutI4}},
    {39, "GetGlobalPitch", {P::OutI4}},
    {40, "SetLocalSpeed", {P::InI4, P::OutI4}},
    {41, "GetLocalSpeed", {P::OutI4}},
    {42, "SetGlobalSpeed", {P::InI4, P::OutI4}},
    {43, "GetGlobalSpeed", {P::OutI4}},
    {44, "SetLocalIntonation", {P::InI4, P::OutI4}},
    {45, "GetLocalIntonation", {P::OutI4}},
    {46, "SetGlobalIntonation", {P::InI4, P::OutI4}},
    {47, "GetGlobalIntonation", {P::OutI4}},
    {48, "SetLocalRoughness", {P::InI4, P::OutI4}},
    {49, "GetLocalRoughness", {P::OutI4}},
    {50, "SetGlobalRoughness", {P::InI4, P::OutI4}},
    {51, "GetGlobalRoughness", {P::OutI4}},
    {52, "NotifyModeLocal", {P::OutI4}},
    {53, "NotifyModeGlobal", {P::OutI4}},
    {54, "Volume", {}},
    {55, "Pitch", {}},
    {56, "Speed", {}},
    {57, "Intonation", {}},
    {58, "Roughness", {}},
    {59, "Skip", {P::OutI4}},
};

const Member* findMember(DISPID id) {
    for (const Member& m : kMembers)
        if (m.id == id) return &m;
    return nullptr;
}

bool sameName(const char16_t* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char16_t x = *a;
        char y = *b;
        if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != static_cast<unsigned char>(y)) return false;
    }
    return *a == 0 && *b == 0;
}

// A number from a variant, by value or by reference.
bool intOf(const VARIANT& v, std::int32_t* out) {
    switch (v.vt) {
        case VT_I4:
            *out = v.lVal;
            return true;
        case VT_I2:
            *out = v.iVal;
            return true;
        case VT_I4 | VT_BYREF:
            if (!v.plVal) return false;
            *out = *v.plVal;
            return true;
        case VT_I2 | VT_BYREF:
            if (!v.piVal) return false;
            *out = *v.piVal;
            return true;
        default:
            return false;
    }
}

bool stringOf(const VARIANT& v, const char16_t** out) {
    if (v.vt == VT_BSTR) {
        *out = v.bstrVal ? v.bstrVal : u"";
        return true;
    }
    if (v.vt == (VT_BSTR | VT_BYREF) && v.pbstrVal) {
        *out = *v.pbstrVal ? *v.pbstrVal : u"";
        return true;
    }
    return false;
}

}  // namespace

HRESULT Sprelo4Control::GetIDsOfNames(const char16_t* const* names, std::uint32_t count,
                                      DISPID* dispids) {
    if (!names || !dispids || count == 0) return E_POINTER;
    for (std::uint32_t i = 0; i < count; ++i) dispids[i] = -1;
    // The first name is the member; parameters are not known by name.
    for (const Member& m : kMembers) {
        if (names[0] && sameName(names[0], m.name)) {
            dispids[0] = m.id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT Sprelo4Control::invokeMember(DISPID dispid, std::uint16_t flags, DISPPARAMS* params,
                                     VARIANT* result) {
    const Member* member = findMember(dispid);
    if (!member) return DISP_E_MEMBERNOTFOUND;

    // Properties.
    if (dispid >= 54 && dispid <= 58) {
        std::int32_t* field = dispid == 54   ? &volume_
                              : dispid == 55 ? &pitch_
                              : dispid == 56 ? &speed_
                              : dispid == 57 ? &intonation_
                                             : &roughness_;
        if (flags & DISPATCH_PROPERTYPUT) {
            if (params->cArgs != 1 || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
            std::int32_t value;
            if (!intOf(params->rgvarg[0], &value)) return DISP_E_TYPEMISMATCH;
            *field = value;
            dirty_ = true;
            return S_OK;
        }
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (result) {
            result->vt = VT_I4;
            result->lVal = *field;
        }
        return S_OK;
    }
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;

    const std::size_t total = member->params.size();
    const std::size_t given = params->cArgs;
    const bool lastAsResult =
        total > 0 && given + 1 == total && *(member->params.end() - 1) >= P::OutI4;
    if (given != total && !lastAsResult) return DISP_E_BADPARAMCOUNT;
    if (given > 0 && !params->rgvarg) return DISP_E_BADPARAMCOUNT;

    std::int32_t ints[8] = {};
    std::int16_t shorts[8] = {};
    const char16_t* texts[8] = {};
    BSTR outText = nullptr;
    // Arguments, in declaration order (the variants come last first).
    std::size_t i = 0;
    for (P kind : member->params) {
        if (i < given) {
            const VARIANT& v = params->rgvarg[given - 1 - i];
            if (kind == P::InI4 || kind == P::InI2) {
                if (!intOf(v, &ints[i])) return DISP_E_TYPEMISMATCH;
                shorts[i] = static_cast<std::int16_t>(ints[i]);
            } else if (kind == P::InStr) {
                if (!stringOf(v, &texts[i])) return DISP_E_TYPEMISMATCH;
            } else {
                const std::uint16_t want = kind == P::OutI4   ? (VT_I4 | VT_BYREF)
                                           : kind == P::OutI2 ? (VT_I2 | VT_BYREF)
                                                              : (VT_BSTR | VT_BYREF);
                if (v.vt != want || !v.plVal) return DISP_E_TYPEMISMATCH;
            }
        }
        ++i;
    }

    HRESULT hr = S_OK;
    std::int32_t* o = ints;
    std::int16_t* s = shorts;
    switch (dispid) {
        case 1:
            hr = DLLVersion(&o[0]);
            break;
        case 2:
            hr = ServerVersion(&o[0]);
            break;
        case 4:
            hr = Initialize(&o[0]);
            break;
        case 5:
            hr = IsConnected(&o[0]);
            break;
        case 6:
            hr = Disconnect();
            break;
        case 7:
            hr = Speak(texts[0], ints[1], &o[2]);
            break;
        case 8:
            hr = Pause(&o[0]);
            break;
        case 9:
            hr = Resume(&o[0]);
            break;
        case 10:
            hr = Stop(&o[0]);
            break;
        case 11:
            hr = Record(texts[0], texts[1], ints[2], &o[3]);
            break;
        case 12:
            hr = IsBusy(&o[0]);
            break;
        case 13:
            hr = IsPaused(&o[0]);
            break;
        case 14:
            hr = GetNumberOfFonts(&o[0]);
            break;
        case 15:
            hr = FindFontAlias(texts[0], &o[1]);
            break;
        case 16:
            hr = GetFontName(ints[0], &outText);
            break;
        case 17:
            hr = GetFontAlias(ints[0], &outText);
            break;
        case 18:
            hr = GetFontUUID(ints[0], &outText);
            break;
        case 19:
            hr = GetFontDate(ints[0], &s[1], &s[2], &s[3], &s[4], &s[5], &o[6]);
            break;
        case 20:
            hr = GetFontVersion(ints[0], &o[1]);
            break;
        case 21:
            hr = GetFontFlags(ints[0], &o[1]);
            break;
        case 22:
            hr = LoadSettings(texts[0], &o[1]);
            break;
        case 23:
            hr = SaveSettings(texts[0], &o[1]);
            break;
        case 24:
            hr = ResetLocal(&o[0]);
            break;
        case 25:
            hr = ResetGlobal(&o[0]);
            break;
        case 26:
            hr = SetAudioFormat(ints[0], shorts[1], shorts[2], &o[3]);
            break;
        case 27:
            hr = GetAudioFormat(&o[0], &s[1], &s[2], &o[3]);
            break;
        case 28:
            hr = SetLocalFont(ints[0], &o[1]);
            break;
        case 29:
            hr = GetLocalFont(&o[0]);
            break;
        case 30:
            hr = SetGlobalFont(ints[0], &o[1]);
            break;
        case 31:
            hr = GetGlobalFont(&o[0]);
            break;
        case 32:
            hr = SetLocalVolume(ints[0], &o[1]);
            break;
        case 33:
            hr = GetLocalVolume(&o[0]);
            break;
        case 34:
            hr = SetGlobalVolume(ints[0], &o[1]);
            break;
        case 35:
            hr = GetGlobalVolume(&o[0]);
            break;
        case 36:
            hr = SetLocalPitch(ints[0], &o[1]);
            break;
        case 37:
            hr = GetLocalPitch(&o[0]);
            break;
        case 38:
            hr = SetGlobalPitch(ints[0], &o[1]);
            break;
        case 39:
            hr = GetGlobalPitch(&o[0]);
            break;
        case 40:
            hr = SetLocalSpeed(ints[0], &o[1]);
            break;
        case 41:
            hr = GetLocalSpeed(&o[0]);
            break;
        case 42:
            hr = SetGlobalSpeed(ints[0], &o[1]);
            break;
        case 43:
            hr = GetGlobalSpeed(&o[0]);
            break;
        case 44:
            hr = SetLocalIntonation(ints[0], &o[1]);
            break;
        case 45:
            hr = GetLocalIntonation(&o[0]);
            break;
        case 46:
            hr = SetGlobalIntonation(ints[0], &o[1]);
            break;
        case 47:
            hr = GetGlobalIntonation(&o[0]);
            break;
        case 48:
            hr = SetLocalRoughness(ints[0], &o[1]);
            break;
        case 49:
            hr = GetLocalRoughness(&o[0]);
            break;
        case 50:
            hr = SetGlobalRoughness(ints[0], &o[1]);
            break;
        case 51:
            hr = GetGlobalRoughness(&o[0]);
            break;
        case 52:
            hr = NotifyModeLocal(&o[0]);
            break;
        case 53:
            hr = NotifyModeGlobal(&o[0]);
            break;
        case 59:
            hr = Skip(&o[0]);
            break;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }

    // Out values back to the caller.
    i = 0;
    for (P kind : member->params) {
        const bool asResult = i >= given;
        VARIANT* v = asResult ? result : &params->rgvarg[given - 1 - i];
        if (kind == P::OutI4) {
            if (asResult && v) {
                v->vt = VT_I4;
                v->lVal = ints[i];
            } else if (!asResult) {
                *v->plVal = ints[i];
            }
        } else if (kind == P::OutI2) {
            if (asResult && v) {
                v->vt = VT_I2;
                v->iVal = shorts[i];
            } else if (!asResult) {
                *v->piVal = shorts[i];
            }
        } else if (kind == P::OutStr) {
            if (asResult && v) {
                v->vt = VT_BSTR;
                v->bstrVal = outText;
                outText = nullptr;
            } else if (!asResult) {
                // The caller's old string is theirs to free; the new one
                // is handed over.
                *v->pbstrVal = outText;
                outText = nullptr;
            }
        }
        ++i;
    }
    freeString(outText);
    return hr;
}

}  // namespace sprelo
