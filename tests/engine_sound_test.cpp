// Sounds: damaged files, one channel per sound, restart, release while playing, silent runs.
#include <gtest/gtest.h>

#include "engine_support.hpp"

using namespace engine_test;

namespace {

class EngineSound : public ::testing::Test {
protected:
    void SetUp() override {
        box.Write("Data/tune.ogg", OggBytes(4.0));
        box.Write("Data/beep.wav", WavBytes(4.0));  // long enough to outlast a busy machine
        setenv("BRISEL_TRACE", box.Path("trace.txt").c_str(), 1);
    }
    void TearDown() override { Engine().Free(); }
    Sandbox box;
};

std::string Noise(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 2654435761u) >> 13);
    return s;
}

}  // namespace

// Guards against a crash, a silent success or an anonymous message on a bad sound file.
TEST_F(EngineSound, BadFilesRaiseLoadNamingTheFile) {
    box.Write("Data/empty.ogg", "");
    box.Write("Data/headers.ogg", OggBytes(1.0, true));
    box.Write("Data/noise.ogg", Noise(5000));
    box.Write("Data/noise-with-magic.ogg", "OggS" + Noise(5000));
    InitEngine();
    Api& e = Engine();
    for (const char* name :
         {"missing.ogg", "empty.ogg", "headers.ogg", "noise.ogg", "noise-with-magic.ogg"}) {
        BriselFailure f = Failure([&] { e.LoadSnd(name); });
        EXPECT_EQ(f.Code(), uint32_t(BRISEL_FAIL_LOAD)) << name;
        EXPECT_EQ(MessageOf(f).rfind(std::string("Data/") + name + ": ", 0), 0u) << MessageOf(f);
    }
    EXPECT_NE(MessageOf(Failure([&] { e.LoadSnd("missing.ogg"); })).find("No such file"), std::string::npos);
    EXPECT_NE(MessageOf(Failure([&] { e.LoadSnd("headers.ogg"); })).find("cut short"), std::string::npos);
    BriselSnd* tune = e.LoadSnd("tune.ogg");  // the engine goes on working
    EXPECT_NEAR(e.LenSnd(tune), 4.0, 0.05);
}

// Guards against sounds sharing channels (one cutting another off) and a play that does not restart.
TEST_F(EngineSound, EverySoundHasItsOwnChannelAndRestarts) {
    InitEngine();
    Api& e = Engine();
    std::vector<BriselSnd*> sounds;
    for (int i = 0; i < 12; ++i) sounds.push_back(e.LoadSnd(i % 2 ? "tune.ogg" : "beep.wav"));
    for (BriselSnd* s : sounds) e.PlaySnd(s, 0, false, 0);
    for (BriselSnd* s : sounds) EXPECT_TRUE(e.ChkPlayingSnd(s));
    e.StopSnd(sounds[3]);
    EXPECT_FALSE(e.ChkPlayingSnd(sounds[3]));
    EXPECT_TRUE(e.ChkPlayingSnd(sounds[4]));
    e.StopSnd(sounds[4]);
    e.PlaySnd(sounds[4], 0, true, 0);  // stop, then play: sounding again
    EXPECT_TRUE(e.ChkPlayingSnd(sounds[4]));
    e.PlaySnd(sounds[4], 0, true, 0);  // playing already: restarts, still sounding
    EXPECT_TRUE(e.ChkPlayingSnd(sounds[4]));
    e.VolumeSnd(sounds[4], 0.5);
    e.PanSnd(sounds[4], -1);
    e.SetMasterVolume(0.25);
    EXPECT_DOUBLE_EQ(e.GetMasterVolume(), 0.25);
    e.SetMasterVolume(7);
    EXPECT_DOUBLE_EQ(e.GetMasterVolume(), 1.0);
}

// Guards against the title music playing on under the game after its clip is released.
TEST_F(EngineSound, ReleasingAPlayingSoundStopsIt) {
    InitEngine();
    Api& e = Engine();
    BriselSnd* music = e.LoadSnd("tune.ogg");
    e.PlaySnd(music, 0, true, 0);
    ASSERT_TRUE(e.ChkPlayingSnd(music));
    e.FreeMem(music);
    EXPECT_EQ(Failure([&] { e.ChkPlayingSnd(music); }).Code(), uint32_t(BRISEL_FAIL_ARGUMENT));
    // The next sound takes over the released channel and finds it quiet.
    BriselSnd* next = e.LoadSnd("beep.wav");
    EXPECT_FALSE(e.ChkPlayingSnd(next));
    // A short sound released while it may or may not still sound leaves no line: the trace
    // must not depend on the audio thread's timing.
    e.PlaySnd(next, 0, false, 0);
    e.FreeMem(next);
    e.Act();
    e.Free();
    EXPECT_EQ(ReadText(box.Path("trace.txt")), "play tune.ogg 1\nstop tune.ogg\nplay beep.wav 0\nframe 1\n");
}

// Guards against a machine without a sound device stopping the game, or bad files passing there.
TEST_F(EngineSound, WithoutASoundDeviceTheEngineRunsSilent) {
    setenv("SDL_AUDIODRIVER", "no-such-device", 1);
    box.Write("Data/noise.ogg", Noise(3000));
    InitEngine();
    Api& e = Engine();
    BriselSnd* tune = e.LoadSnd("tune.ogg");
    e.PlaySnd(tune, 0, false, 0);
    e.StopSnd(tune);
    EXPECT_EQ(Failure([&] { e.LoadSnd("noise.ogg"); }).Code(), uint32_t(BRISEL_FAIL_LOAD));
    EXPECT_EQ(e.Act(), 1);
}
