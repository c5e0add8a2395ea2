// The engine's mixer alone (no device): sample-exact starts and loops, 10 ms fades on stop,
// restart and release, and music decoded as it plays that loops without a seam.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_support.hpp"
#include "mixer.hpp"

using namespace brisel;

namespace {

// A decoded sound whose frame i holds (i + 1) / frames on the left and minus that on the right.
SoundSource Ramp(size_t frames) {
    auto pcm = std::make_shared<Pcm>();
    for (size_t i = 0; i < frames; ++i) {
        pcm->samples.push_back(float(i + 1) / float(frames));
        pcm->samples.push_back(-float(i + 1) / float(frames));
    }
    SoundSource s;
    s.frames = int64_t(frames);
    s.pcm = pcm;
    return s;
}

SoundSource Constant(size_t frames, float value) {
    auto pcm = std::make_shared<Pcm>();
    pcm->samples.assign(2 * frames, value);
    SoundSource s;
    s.frames = int64_t(frames);
    s.pcm = pcm;
    return s;
}

std::vector<float> MixFrames(Mixer& m, size_t frames) {
    std::vector<float> out(2 * frames);
    m.Mix(out.data(), frames);
    return out;
}

}  // namespace

// Guards against a start that fades in, skips or delays the attack of an effect.
TEST(EngineMixer, AStartPlaysTheFirstSampleAtFullStrength) {
    Mixer m;
    Mixer::Id id = m.Add(Ramp(1000));
    m.Play(id, 0, false, 0);
    std::vector<float> out = MixFrames(m, 300);
    for (size_t i = 0; i < 300; ++i) {
        ASSERT_EQ(out[2 * i], float(i + 1) / 1000.0f) << i;
        ASSERT_EQ(out[2 * i + 1], -float(i + 1) / 1000.0f) << i;
    }
}

// Guards against a stop that cuts (a click), lingers, or is reported as still playing.
TEST(EngineMixer, StoppingFadesOutWithinTenMillisecondsWithoutAJump) {
    Mixer m;
    Mixer::Id id = m.Add(Constant(44100, 0.5f));
    m.Play(id, 0, true, 0);
    MixFrames(m, 256);
    m.Stop(id);
    EXPECT_FALSE(m.Playing(id));
    std::vector<float> out = MixFrames(m, 1024);
    float previous = 0.5f;
    size_t silentFrom = out.size();
    for (size_t i = 0; i < 1024; ++i) {
        EXPECT_LE(out[2 * i], previous) << i;
        EXPECT_LE(previous - out[2 * i], 0.5f / kFadeFrames + 1e-6f) << "a step at " << i;
        previous = out[2 * i];
        if (out[2 * i] == 0 && silentFrom == out.size()) silentFrom = i;
    }
    EXPECT_LE(silentFrom, size_t(kMixRate / 100)) << "silent within 10 ms";
    EXPECT_EQ(out[2 * 1023], 0.0f);
}

// Guards against a restart that cuts the sound short (a click) or delays the new start.
TEST(EngineMixer, RestartingFadesTheOldPlayingBesideAnExactNewStart) {
    Mixer m;
    Mixer::Id id = m.Add(Constant(44100, 0.25f));
    m.Play(id, 0, false, 0);
    MixFrames(m, 100);
    m.Play(id, 0, false, 0);
    EXPECT_TRUE(m.Playing(id));
    std::vector<float> out = MixFrames(m, 1000);
    // The new start at full strength, the old playing fading from full: together about 0.5,
    // falling to 0.25 once the tail is gone.
    EXPECT_NEAR(out[0], 0.25f + 0.25f * (1 - 1.0f / kFadeFrames), 1e-6);
    EXPECT_FLOAT_EQ(out[2 * 999], 0.25f);
    for (size_t i = 1; i < 1000; ++i) EXPECT_LE(out[2 * i], out[2 * (i - 1)] + 1e-7f) << i;
}

// Guards against releasing a playing sound (the title music at a scene change) cutting it.
TEST(EngineMixer, RemovingAPlayingSoundFadesItOut) {
    Mixer m;
    Mixer::Id id = m.Add(Constant(44100, 0.5f));
    m.Play(id, 0, true, 0);
    MixFrames(m, 64);
    m.Remove(id);
    std::vector<float> out = MixFrames(m, 600);
    EXPECT_GT(out[0], 0.49f);
    EXPECT_EQ(out[2 * (kFadeFrames + 1)], 0.0f);
    m.Play(id, 0, false, 0);  // gone: nothing plays
    EXPECT_FALSE(m.Playing(id));
}

// Guards against a loop that drops, repeats or delays a sample at its seam.
TEST(EngineMixer, ARepeatingSoundLoopsSampleExactly) {
    Mixer m;
    Mixer::Id id = m.Add(Ramp(700));
    m.Play(id, 0, true, 0);
    std::vector<float> out = MixFrames(m, 2000);
    for (size_t i = 0; i < 2000; ++i) ASSERT_EQ(out[2 * i], float(i % 700 + 1) / 700.0f) << i;
}

// Guards against a sound reported playing after its end, or volume and panning ignored.
TEST(EngineMixer, AShortSoundEndsAndGainsApply) {
    Mixer m;
    Mixer::Id id = m.Add(Constant(100, 1.0f));
    m.SetGains(id, 0.5f, 0.25f);
    m.SetMaster(0.5f);
    m.Play(id, 0, false, 0);
    std::vector<float> out = MixFrames(m, 200);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(out[1], 0.125f);
    EXPECT_EQ(out[2 * 150], 0.0f);
    EXPECT_FALSE(m.Playing(id));
}

// Guards against streamed music differing from the file, or a seam where it loops.
TEST(EngineMixer, StreamedMusicPlaysTheFileAndLoopsWithoutASeam) {
    const std::string file = engine_test::OggBytes(0.5);
    auto bytes = std::make_shared<const std::vector<uint8_t>>(file.begin(), file.end());
    std::string error;
    std::unique_ptr<OggReader> reader = OggReader::Open(bytes, error);
    ASSERT_NE(reader, nullptr) << error;
    const size_t frames = size_t(reader->Frames());
    ASSERT_GT(frames, 1000u);
    std::vector<float> whole(2 * frames);
    ASSERT_EQ(reader->Read(whole.data(), frames), frames);

    Mixer m;
    SoundSource source;
    source.ogg = bytes;
    source.frames = int64_t(frames);
    Mixer::Id id = m.Add(source);
    m.Play(id, 0, true, 0);
    std::vector<float> out;
    for (int block = 0; block < 24; ++block) {  // device-sized blocks across two seams
        std::vector<float> part = MixFrames(m, 1024);
        out.insert(out.end(), part.begin(), part.end());
    }
    ASSERT_GT(out.size() / 2, 2 * frames);
    for (size_t i = 0; i < out.size() / 2; ++i) ASSERT_NEAR(out[2 * i], whole[2 * (i % frames)], 1e-6) << i;
}

// Guards against a damaged stream crashing the decoder instead of being refused.
TEST(EngineMixer, AStreamThatIsNotVorbisIsRefused) {
    std::string error;
    auto junk = std::make_shared<const std::vector<uint8_t>>(std::vector<uint8_t>(4000, 0x4f));
    EXPECT_EQ(OggReader::Open(junk, error), nullptr);
    EXPECT_FALSE(error.empty());
}

// Guards against a click where the sound is cut (mute, a master change, a minimised window or a
// quit holding the mix, a stop), and against a loud mix reaching full scale: every cut glides
// to silence over about 10 ms with no step over the glide's, and the limiter keeps three
// voices at 0.8 under its ceiling.
TEST(EngineMixer, CutsGlideToSilenceAndTheLimitedMixStaysUnderFullScale) {
    struct Case {
        const char* name;
        int voices;
        void (*cut)(Mixer&, Mixer::Id);
        bool silent;  // the cut ends in silence
    };
    const Case cases[] = {
        {"mute", 1, [](Mixer& m, Mixer::Id id) { m.SetGains(id, 0, 0); }, true},
        {"master to 0", 1, [](Mixer& m, Mixer::Id) { m.SetMaster(0); }, true},
        {"held", 1, [](Mixer& m, Mixer::Id) { m.Hold(true); }, true},
        {"stopped", 1, [](Mixer& m, Mixer::Id id) { m.Stop(id); }, true},
        {"three loud voices", 3, [](Mixer&, Mixer::Id) {}, false},
    };
    for (const Case& c : cases) {
        Mixer m;
        Limiter limiter;
        Mixer::Id id = 0;
        for (int v = 0; v < c.voices; ++v) {
            id = m.Add(Constant(44100, c.voices > 1 ? 0.8f : 0.5f));
            m.Play(id, 0, true, 0);
        }
        std::vector<float> out = MixFrames(m, 256);
        c.cut(m, id);
        std::vector<float> after = MixFrames(m, 1024);
        out.insert(out.end(), after.begin(), after.end());
        limiter.Apply(out.data(), out.size() / 2);
        for (size_t i = 1; i < out.size() / 2; ++i) {
            ASSERT_LE(std::abs(out[2 * i]), Limiter::kCeiling) << c.name << " at " << i;
            if (c.silent) {
                ASSERT_LE(std::abs(out[2 * i] - out[2 * i - 2]), 0.5f / kFadeFrames + 1e-5f)
                    << c.name << " at " << i;
            }
        }
        if (c.silent) {
            EXPECT_EQ(out.back(), 0.0f) << c.name;
        }
    }
}

// Guards against a held mix losing its place: let go, it fades back in where it stopped.
TEST(EngineMixer, AHeldMixResumesWhereItStopped) {
    Mixer m;
    Mixer::Id id = m.Add(Ramp(44100));
    m.Play(id, 0, false, 0);
    MixFrames(m, 100);
    m.Hold(true);
    MixFrames(m, kFadeFrames + 10);
    EXPECT_TRUE(m.Silent());
    MixFrames(m, 5000);  // held: nothing moves
    m.Hold(false);
    std::vector<float> out = MixFrames(m, kFadeFrames + 1);
    EXPECT_FLOAT_EQ(out[2 * kFadeFrames], float(100 + kFadeFrames + 10 + kFadeFrames + 1) / 44100.0f);
}
