// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The control object over the fake engine: its own settings, what it
// forwards, the events it fires from the engine's notifications, and its
// saved settings.

#include <gtest/gtest.h>

#include "speech_support.h"
#include "speechctl/control.h"
#include "speechctl/strings.h"

using namespace sprelo;
using speechtest::FakeEngine;
using speechtest::RecordingSink;
using speechtest::RegistryRoot;

namespace {

// A control over its own binding to the fake engine.
class ControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root.setServerFile(FAKE_ENGINE);
        fake.reset();
        control = Sprelo4Control::create(binding);
    }
    void TearDown() override {
        if (control) control->Release();
    }
    // Connects a sink to the control's events.
    std::uint32_t connect(RecordingSink& target) {
        IConnectionPoint* point = nullptr;
        EXPECT_EQ(control->FindConnectionPoint(DIID_ISprelo4ControlEvents, &point), S_OK);
        std::uint32_t cookie = 0;
        EXPECT_EQ(point->Advise(&target, &cookie), S_OK);
        point->Release();
        return cookie;
    }
    void unadvise(std::uint32_t cookie) {
        IConnectionPoint* point = nullptr;
        control->FindConnectionPoint(DIID_ISprelo4ControlEvents, &point);
        EXPECT_EQ(point->Unadvise(cookie), S_OK);
        point->Release();
    }
    // Delivers whatever the engine wrote, as the host's event loop would.
    void pump() {
        std::int32_t fd = -1;
        ASSERT_EQ(control->GetDescriptor(&fd), S_OK);
        while (speechtest::waitReadable(fd, 0)) control->DispatchNotifications();
    }
    std::int32_t initialize() {
        std::int32_t state = -7;
        EXPECT_EQ(control->Initialize(&state), S_OK);
        return state;
    }

    RegistryRoot root;
    FakeEngine fake;
    EngineBinding binding;
    // Sinks outlive the control, which holds them until it goes.
    RecordingSink first, second, sink;
    Sprelo4Control* control = nullptr;
};

TEST_F(ControlTest, NewInstanceVoiceSettings) {
    const struct {
        HRESULT (Sprelo4Control::*get)(std::int32_t*);
        std::int32_t expected;
        const char* name;
    } cases[] = {
        {&Sprelo4Control::get_Volume, 0, "Volume"},
        {&Sprelo4Control::get_Pitch, 0, "Pitch"},
        {&Sprelo4Control::get_Speed, 100, "Speed"},
        {&Sprelo4Control::get_Intonation, 100, "Intonation"},
        {&Sprelo4Control::get_Roughness, 0, "Roughness"},
    };
    for (const auto& c : cases) {
        std::int32_t value = -1;
        EXPECT_EQ((control->*c.get)(&value), S_OK);
        EXPECT_EQ(value, c.expected) << c.name;
    }
    EXPECT_EQ(fake.takeLog(), "") << "properties never call the engine";
}

TEST_F(ControlTest, InitializeRegistersEightNotificationsThenHandsOverTheVoice) {
    control->put_Speed(150);
    control->put_Volume(-3);
    EXPECT_EQ(initialize(), 1);
    EXPECT_EQ(fake.takeLog(),
              "SpreloInitialize()\n"
              "SpreloNotifyAction(channel,5120,0)\n"
              "SpreloNotifyMark(channel,5121,0)\n"
              "SpreloNotifyChunk(channel,5122,0)\n"
              "SpreloNotifyParam(channel,5123,0)\n"
              "SpreloNotifySentence(channel,5124,0)\n"
              "SpreloNotifyWord(channel,5125,0)\n"
              "SpreloNotifyMouth(channel,5126,0)\n"
              "SpreloNotifyViseme(channel,5127,0)\n"
              "SpreloSetLocalVolume(-3)\n"
              "SpreloSetLocalPitch(0)\n"
              "SpreloSetLocalSpeed(150)\n"
              "SpreloSetLocalIntonation(100)\n"
              "SpreloSetLocalRoughness(0)\n");
    // A property written afterwards waits for the next Initialize.
    control->put_Pitch(20);
    EXPECT_EQ(fake.takeLog(), "");
}

TEST_F(ControlTest, EngineNotReadyRegistersNothing) {
    fake.set("SpreloInitialize", 0);
    EXPECT_EQ(initialize(), 0);
    EXPECT_EQ(fake.takeLog(), "SpreloInitialize()\n");
}

TEST(ControlWithoutEngine, InitializeAndSpeakYieldZero) {
    RegistryRoot root;
    EngineBinding binding;
    Sprelo4Control* control = Sprelo4Control::create(binding);
    std::int32_t state = -1, nth = 0, version = -1;
    control->Initialize(&state);
    EXPECT_EQ(state, 0);
    control->Speak(u"Anruf von Anna", 0, &state);
    EXPECT_EQ(state, 0);
    control->FindFontAlias(u"SPR.DE.MAREN", &nth);
    EXPECT_EQ(nth, -1);
    control->DLLVersion(&version);
    EXPECT_EQ(version, 0);
    control->GetLocalFont(&nth);
    EXPECT_EQ(nth, -1);
    control->Release();
}

TEST_F(ControlTest, EngineNotificationsBecomeEventsOnEverySink) {
    connect(first);
    connect(second);
    second.result = E_FAIL;  // a failing sink does not stop the others
    ASSERT_EQ(initialize(), 1);
    const struct {
        int kind;
        std::int32_t w, l;
        const char* event;
    } cases[] = {
        {0, 3, 1, "NotifyAction(3,1)"},     {1, 7, 99, "NotifyMark(7)"},
        {2, 2, 5, "NotifyChunk(2,5)"},      {3, 4, -1, "NotifyParam(4,-1)"},
        {4, 0, 12, "NotifySentence(0,12)"}, {5, 6, 4, "NotifyWord(6,4)"},
        {6, 1, 2, "NotifyMouth(1,2)"},      {7, 15, 0, "NotifyViseme(15)"},
    };
    for (const auto& c : cases) ASSERT_EQ(fake.post(c.kind, c.w, c.l), 1);
    pump();
    std::vector<std::string> expected;
    for (const auto& c : cases) expected.push_back(c.event);
    EXPECT_EQ(first.events, expected);
    EXPECT_EQ(second.events, expected);
}

TEST_F(ControlTest, MessagesOutsideTheRangeFireNothing) {
    connect(sink);
    ASSERT_EQ(initialize(), 1);
    const std::intptr_t channel = fake.channel(1);
    ASSERT_GE(channel, 0);
    fake.postRaw(channel, 5119, 1, 2);
    fake.postRaw(channel, 5128, 1, 2);
    fake.postRaw(channel, 5121, 7, 0);
    pump();
    EXPECT_EQ(sink.events, std::vector<std::string>{"NotifyMark(7)"});
    // Straight to the handler, as the window procedure would get it.
    EXPECT_EQ(control->HandleMessage(5119, 7, 0), S_FALSE);
    EXPECT_EQ(control->HandleMessage(5121, 8, 0), S_OK);
    EXPECT_EQ(sink.events.back(), "NotifyMark(8)");
}

TEST_F(ControlTest, UnadvisedSinkGetsNoMoreEvents) {
    const std::uint32_t cookie = connect(sink);
    EXPECT_EQ(sink.refs, 2u);
    unadvise(cookie);
    EXPECT_EQ(sink.refs, 1u);
    control->HandleMessage(5121, 1, 0);
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(ControlTest, NotificationsAfterTheControlIsGoneGoNowhere) {
    ASSERT_EQ(initialize(), 1);
    const std::intptr_t channel = fake.channel(5);
    control->Release();
    control = nullptr;
    // The engine still holds the channel; writing to it must neither fail
    // loudly nor land in some other file.
    EXPECT_EQ(fake.postRaw(channel, 5125, 1, 1), 1);
    EXPECT_EQ(fake.post(5, 1, 1), 1);
}

TEST_F(ControlTest, TornRecordIsCompletedByTheNextRead) {
    connect(sink);
    ASSERT_EQ(initialize(), 1);
    const int channel = static_cast<int>(fake.channel(1));
    const unsigned char record[12] = {0x01, 0x14, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0};  // 5121, 9
    ASSERT_EQ(write(channel, record, 5), 5);
    pump();
    EXPECT_TRUE(sink.events.empty());
    ASSERT_EQ(write(channel, record + 5, 7), 7);
    pump();
    EXPECT_EQ(sink.events, std::vector<std::string>{"NotifyMark(9)"});
}

TEST_F(ControlTest, MethodsForwardTheirArgumentsAsNarrowText) {
    std::int32_t state = 0;
    control->Speak(u"Anruf von plus #CTX=SPELL#+49123#CTX#", 4, &state);
    EXPECT_EQ(state, 1);
    control->Record(u"/tmp/out.wav", u"Grüße", 2, &state);
    control->LoadSettings(u"Funkor", &state);
    control->SetAudioFormat(22050, 16, 1, &state);
    std::int32_t nth = 0;
    control->FindFontAlias(u"SPR.DE.OSKAR", &nth);
    EXPECT_EQ(fake.takeLog(),
              "SpreloSpeakA(\"Anruf von plus #CTX=SPELL#+49123#CTX#\",4)\n"
              "SpreloRecordA(\"/tmp/out.wav\",\"Gr\xC3\xBC\xC3\x9F\x65\",2)\n"
              "SpreloLoadSettingsA(\"Funkor\")\n"
              "SpreloSetAudioFormat(5644865)\n"
              "SpreloFindFontAliasA(\"SPR.DE.OSKAR\")\n");
}

TEST_F(ControlTest, FontTextsAreTerminatedAndNewlyAllocated) {
    const struct {
        const char* legend;
        std::string engineText;
        long long result;
        std::u16string expected;
    } cases[] = {
        {"short name", "Maren", 0, u"Maren"},
        {"UTF-8 name", "J\xC3\xBCrgen", 0, u"Jürgen"},
        {"name fills the buffer without a 0", std::string(200, 'n'), 0, std::u16string(128, u'n')},
        {"failure leaves junk, read as empty", "Maren", -1, u""},
    };
    for (const auto& c : cases) {
        fake.setText(c.engineText.c_str());
        fake.set("SpreloGetFontNameA", c.result);
        BSTR name = nullptr;
        EXPECT_EQ(control->GetFontName(1, &name), S_OK);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(std::u16string(name, stringLen(name)), c.expected) << c.legend;
        freeString(name);
    }
    EXPECT_NE(fake.takeLog().find("SpreloGetFontNameA(1,128)"), std::string::npos);
}

TEST_F(ControlTest, FontUuidDateAndAudioFormat) {
    BSTR uuid = nullptr;
    control->GetFontUUID(0, &uuid);
    EXPECT_EQ(std::u16string(uuid), u"13121110-1514-1716-1819-1A1B1C1D1E1F");
    freeString(uuid);

    std::int16_t day = 9, month = 9, year = 9, hour = 9, minute = 9;
    std::int32_t state = 9;
    control->GetFontDate(0, &day, &month, &year, &hour, &minute, &state);
    EXPECT_EQ((std::vector<int>{day, month, year, hour, minute, state}),
              (std::vector<int>{0, 0, 0, 0, 0, 0}));
    fake.set("SpreloGetFontDate", 2004LL * 599040 + 12 * 46080 + 12 * 1440 + 14 * 60 + 50);
    control->GetFontDate(0, &day, &month, &year, &hour, &minute, &state);
    EXPECT_EQ((std::vector<int>{day, month, year, hour, minute, state}),
              (std::vector<int>{12, 12, 2004, 14, 50, 1}));

    std::int32_t rate = 9;
    std::int16_t bits = 9, channels = 9;
    control->GetAudioFormat(&rate, &bits, &channels, &state);
    EXPECT_EQ((std::vector<int>{rate, bits, channels, state}), (std::vector<int>{0, 0, 0, 0}));
    fake.set("SpreloGetAudioFormat", (22050 << 8) | (16 << 2) | 1);
    control->GetAudioFormat(&rate, &bits, &channels, &state);
    EXPECT_EQ((std::vector<int>{rate, bits, channels, state}), (std::vector<int>{22050, 16, 1, 1}));
}

TEST_F(ControlTest, DispatchCallsByIdWithOutParametersAndResult) {
    // Speak(Text, ActionID, state): the state as a by-reference argument.
    BSTR text = allocString(u"Hallo");
    std::int32_t state = -1;
    VARIANT args[3];
    args[2].vt = VT_BSTR;
    args[2].bstrVal = text;
    args[1].vt = VT_I4;
    args[1].lVal = 3;
    args[0].vt = VT_I4 | VT_BYREF;
    args[0].plVal = &state;
    DISPPARAMS params{args, 3};
    EXPECT_EQ(control->Invoke(7, DISPATCH_METHOD, &params, nullptr), S_OK);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(std::u16string(text), u"Hallo") << "the caller keeps its string";
    freeString(text);

    // DLLVersion with its out parameter left out: the value is the result.
    DISPPARAMS none;
    VARIANT result;
    EXPECT_EQ(control->Invoke(1, DISPATCH_METHOD, &none, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 0x0401);

    // Property Speed (56): put, then get.
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = 180;
    DISPPARAMS put{&value, 1};
    EXPECT_EQ(control->Invoke(56, DISPATCH_PROPERTYPUT, &put, nullptr), S_OK);
    EXPECT_EQ(control->Invoke(56, DISPATCH_PROPERTYGET, &none, &result), S_OK);
    EXPECT_EQ(result.lVal, 180);

    // GetFontName (16): the name comes back newly allocated for the caller.
    VARIANT nth;
    nth.vt = VT_I4;
    nth.lVal = 0;
    DISPPARAMS one{&nth, 1};
    EXPECT_EQ(control->Invoke(16, DISPATCH_METHOD, &one, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(result.bstrVal), u"Fake Voice");
    freeString(result.bstrVal);

    const char16_t* names[] = {u"getfontname"};
    DISPID id = 0;
    EXPECT_EQ(control->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, 16);

    // Wrong calls are refused without calling the engine.
    fake.takeLog();
    EXPECT_EQ(control->Invoke(3, DISPATCH_METHOD, &none, &result), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(control->Invoke(7, DISPATCH_METHOD, &none, &result), DISP_E_BADPARAMCOUNT);
    args[2].vt = VT_I4;
    EXPECT_EQ(control->Invoke(7, DISPATCH_METHOD, &params, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(fake.takeLog(), "");
}

TEST_F(ControlTest, NewInstanceSavesTheFortyTwoBytes) {
    speechtest::MemoryStream stream;
    EXPECT_EQ(control->Save(&stream, true), S_OK);
    const std::vector<unsigned char> expected = {
        0x00, 0x03, 0x00, 0x00,              // version 0x300
        0x4F, 0x03, 0x00, 0x00,              // 847 HIMETRIC wide (32 pixels at 96 per inch)
        0x4F, 0x03, 0x00, 0x00,              // 847 high
        0x03, 0x00, 0x00, 0x00, 0x00, 0x00,  // Volume 0
        0x03, 0x00, 0x00, 0x00, 0x00, 0x00,  // Pitch 0
        0x03, 0x00, 0x64, 0x00, 0x00, 0x00,  // Speed 100
        0x03, 0x00, 0x64, 0x00, 0x00, 0x00,  // Intonation 100
        0x03, 0x00, 0x00, 0x00, 0x00, 0x00,  // Roughness 0
    };
    EXPECT_EQ(stream.bytes, expected);
}

TEST_F(ControlTest, SavedSettingsLoadBackAndShortStreamsChangeNothing) {
    // The window's instance: extent 661 x 661, defaults otherwise, then a
    // changed speed.
    SIZEL extent{661, 661};
    control->SetExtent(DVASPECT_CONTENT, &extent);
    control->put_Speed(130);
    control->put_Roughness(-5);
    speechtest::MemoryStream saved;
    ASSERT_EQ(control->Save(&saved, true), S_OK);
    ASSERT_EQ(saved.bytes.size(), 42u);

    Sprelo4Control* other = Sprelo4Control::create(binding);
    for (std::size_t cut : {0u, 1u, 12u, 41u}) {
        speechtest::MemoryStream shortStream;
        shortStream.bytes.assign(saved.bytes.begin(), saved.bytes.begin() + static_cast<long>(cut));
        EXPECT_NE(other->Load(&shortStream), S_OK) << cut << " bytes";
        std::int32_t speed = 0;
        other->get_Speed(&speed);
        EXPECT_EQ(speed, 100) << cut << " bytes";
    }
    speechtest::MemoryStream wrongType = saved;
    wrongType.bytes[24] = 8;  // Speed saved as a string
    EXPECT_NE(other->Load(&wrongType), S_OK);

    saved.pos = 0;
    EXPECT_EQ(other->Load(&saved), S_OK);
    std::int32_t speed = 0, roughness = 0;
    other->get_Speed(&speed);
    other->get_Roughness(&roughness);
    SIZEL size{};
    other->GetExtent(DVASPECT_CONTENT, &size);
    EXPECT_EQ((std::vector<std::int64_t>{speed, roughness, size.cx, size.cy}),
              (std::vector<std::int64_t>{130, -5, 661, 661}));
    other->Release();
}

TEST_F(ControlTest, PropertyBagHoldsTheSevenValuesByName) {
    control->put_Intonation(80);
    speechtest::MemoryBag bag;
    ASSERT_EQ(control->Save(&bag, true, true), S_OK);
    const std::map<std::u16string, std::int32_t> expected = {
        {u"_cx", 847},   {u"_cy", 847},       {u"Volume", 0},   {u"Pitch", 0},
        {u"Speed", 100}, {u"Intonation", 80}, {u"Roughness", 0}};
    EXPECT_EQ(bag.values, expected);

    bag.values.erase(u"Volume");
    bag.values[u"Pitch"] = 12;
    Sprelo4Control* other = Sprelo4Control::create(binding);
    other->put_Volume(5);
    EXPECT_EQ(other->Load(&bag), S_OK);
    std::int32_t volume = 0, pitch = 0, intonation = 0;
    other->get_Volume(&volume);
    other->get_Pitch(&pitch);
    other->get_Intonation(&intonation);
    EXPECT_EQ((std::vector<int>{volume, pitch, intonation}), (std::vector<int>{5, 12, 80}));
    other->Release();
}

TEST_F(ControlTest, InterfacesAndMiscStatus) {
    std::uint32_t status = 0;
    EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0x20591u);
    void* object = nullptr;
    for (const GUID& iid : {IID_IUnknown, IID_IDispatch, IID_ISprelo4Control,
                            IID_IConnectionPointContainer, IID_IPersistStreamInit,
                            IID_IPersistPropertyBag, IID_IOleObject, IID_ISpreloNotifyChannel}) {
        ASSERT_EQ(control->QueryInterface(iid, &object), S_OK);
        static_cast<IUnknown*>(object)->Release();
    }
    EXPECT_EQ(control->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    IConnectionPoint* point = nullptr;
    EXPECT_EQ(control->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
}

}  // namespace
