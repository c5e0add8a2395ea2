// The generated sounds, decoded back with libvorbisfile: each decodes, has the length its
// use needs, starts at once, and the music loops without a click.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

const std::string kData = GX_DATA_DIR;

struct Decoded {
    int rate = 0, channels = 0;
    std::vector<float> mono;                // channels averaged
    std::vector<std::vector<float>> sides;  // each channel as it is
    double Seconds() const { return rate ? static_cast<double>(mono.size()) / rate : 0; }
    double Peak(size_t from, size_t to) const {
        double p = 0;
        for (size_t i = from; i < std::min(to, mono.size()); ++i) p = std::max(p, std::fabs(double(mono[i])));
        return p;
    }
    // Mean power per channel over [from, to): a mono sound plays the same on both sides.
    double Power(size_t from, size_t to) const {
        double sum = 0;
        size_t n = 0;
        for (const auto& side : sides)
            for (size_t i = from; i < std::min(to, side.size()); ++i, ++n) sum += double(side[i]) * side[i];
        return n != 0 ? sum / double(n) : 0;
    }
    double Rms(size_t from, size_t to) const {
        double s = 0;
        to = std::min(to, mono.size());
        for (size_t i = from; i < to; ++i) s += double(mono[i]) * mono[i];
        return to > from ? std::sqrt(s / (to - from)) : 0;
    }
};

Decoded Decode(const std::string& file) {
    Decoded d;
    const std::string path = kData + "/" + file;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) {
        ADD_FAILURE() << path << " does not open as Ogg Vorbis";
        return d;
    }
    vorbis_info* vi = ov_info(&vf, -1);
    d.rate = vi->rate;
    d.channels = vi->channels;
    d.sides.resize(size_t(d.channels));
    for (;;) {
        float** pcm;
        int section;
        long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n < 0) {
            ADD_FAILURE() << path << " has a damaged packet";
            break;
        }
        if (n == 0) break;
        for (long i = 0; i < n; ++i) {
            float s = 0;
            for (int c = 0; c < d.channels; ++c) {
                s += pcm[c][i];
                d.sides[size_t(c)].push_back(pcm[c][i]);
            }
            d.mono.push_back(s / d.channels);
        }
    }
    ov_clear(&vf);
    return d;
}

const char* const kEffects[] = {"arrow01.ogg", "hit_p13_a.ogg", "attack00.ogg", "power32.ogg", "down.ogg"};

TEST(AssetSounds, MusicIsAtLeastThirtySecondsAndLoopsWithoutAClick) {
    // A loop that jumps at its seam clicks every 40 seconds for as long as the game runs.
    for (const char* file : {"chaser.ogg", "chaser3.ogg"}) {
        SCOPED_TRACE(file);
        Decoded d = Decode(file);
        ASSERT_GT(d.mono.size(), 1000u);
        EXPECT_EQ(d.rate, 44100);
        EXPECT_GE(d.Seconds(), 30.0);
        EXPECT_LE(d.Seconds(), 90.0);
        std::vector<double> steps;
        for (size_t i = 1; i < d.mono.size(); ++i) steps.push_back(std::fabs(d.mono[i] - d.mono[i - 1]));
        std::nth_element(steps.begin(), steps.begin() + steps.size() * 995 / 1000, steps.end());
        double p995 = steps[steps.size() * 995 / 1000];
        EXPECT_LE(std::fabs(d.mono.front() - d.mono.back()), p995)
            << "seam step against the piece's own steps";
        // Music, not silence or a stuck tone: it has body all the way through.
        for (size_t s = 0; s + 44100 <= d.mono.size(); s += 44100)
            EXPECT_GT(d.Rms(s, s + 44100), 0.03) << "second " << s / 44100;
        EXPECT_LT(d.Peak(0, d.mono.size()), 0.99) << "no clipping";
    }
}

TEST(AssetSounds, MusicLoopsOnABarLine) {
    // A piece that is not a whole number of bars puts a skipped or doubled beat at every
    // loop: the title runs at 140 beats a minute, the game at 168, four beats a bar.
    struct Piece {
        const char* file;
        double bpm;
    };
    for (Piece p : {Piece{"chaser.ogg", 140}, Piece{"chaser3.ogg", 168}}) {
        Decoded d = Decode(p.file);
        const double bar = 44100 * 60.0 / p.bpm * 4;
        const double bars = d.mono.size() / bar;
        EXPECT_NEAR(bars, std::round(bars), 1e-9) << p.file;
        EXPECT_GE(std::round(bars), 16) << p.file;
    }
}

TEST(AssetSounds, TitleAndGameMusicAreDifferentPieces) {
    Decoded title = Decode("chaser.ogg"), game = Decode("chaser3.ogg");
    ASSERT_FALSE(title.mono.empty());
    ASSERT_FALSE(game.mono.empty());
    EXPECT_NE(title.mono.size(), game.mono.size());
    double diff = 0;
    for (size_t i = 0; i < 44100 * 5; ++i) diff += std::fabs(title.mono[i] - game.mono[i]);
    EXPECT_GT(diff / (44100 * 5), 0.01);
}

TEST(AssetSounds, EffectsAreShortAndStartAtOnce) {
    // Effects play on the frame of their event; the reel tick repeats every 83 ms, so its
    // strike must be at the very start.
    for (const char* file : kEffects) {
        SCOPED_TRACE(file);
        Decoded d = Decode(file);
        ASSERT_GT(d.mono.size(), 100u);
        EXPECT_EQ(d.rate, 44100);
        EXPECT_GT(d.Seconds(), 0.08);
        EXPECT_LT(d.Seconds(), 0.8);
        double peak = d.Peak(0, d.mono.size());
        EXPECT_GT(peak, 0.3);
        EXPECT_LT(peak, 0.99);
        EXPECT_GT(d.Peak(0, 441), 0.25 * peak) << "something audible within 10 ms";
        EXPECT_LT(d.Peak(d.mono.size() - 110, d.mono.size()), 0.05) << "ends quietly, no click";
    }
    Decoded hit = Decode("hit_p13_a.ogg");
    ASSERT_FALSE(hit.mono.empty());
    EXPECT_GT(hit.Peak(0, 221), 0.5 * hit.Peak(0, hit.mono.size())) << "the clank strikes in 5 ms";
}

TEST(AssetSounds, MusicLeavesRoomForTheEffects) {
    // Both play at volume 0.5: the music's loudness must stay well under each effect's
    // strike, or shots and hits disappear in the mix.
    double music =
        std::max(Decode("chaser.ogg").Rms(0, 44100 * 30), Decode("chaser3.ogg").Rms(0, 44100 * 30));
    for (const char* file : kEffects) {
        Decoded d = Decode(file);
        EXPECT_GT(d.Rms(0, 2205), 1.5 * music) << file;
    }
}

TEST(AssetSounds, NoSoundHasADcOffset) {
    // A sound whose samples do not average to zero jumps when it is cut or faded and pushes
    // the mix off centre: every channel of every file must average to zero.
    for (const char* file : {"chaser.ogg", "chaser3.ogg", "arrow01.ogg", "hit_p13_a.ogg", "attack00.ogg",
                             "power32.ogg", "down.ogg"}) {
        Decoded d = Decode(file);
        ASSERT_FALSE(d.sides.empty()) << file;
        for (size_t c = 0; c < d.sides.size(); ++c) {
            double sum = 0;
            for (float v : d.sides[c]) sum += v;
            const double mean = sum / double(d.sides[c].size());
            std::printf("  %-14s channel %zu  mean %+.5f of full scale\n", file, c, mean);
            EXPECT_LT(std::fabs(mean), 0.001) << file << " channel " << c;
        }
    }
}

TEST(AssetSounds, PlayEffectsStandSixDecibelsAboveTheMusic) {
    // The game plays the music at volume 0.5, the shot, the catch and the footstep at 0.5 and
    // the reel tick (the catch's clank) at 0.4. Over its first 150 ms each must be at least
    // 6 dB louder than the louder piece of music is on average, or it drowns in the mix.
    const double music =
        std::max(Decode("chaser.ogg").Power(0, SIZE_MAX), Decode("chaser3.ogg").Power(0, SIZE_MAX));
    ASSERT_GT(music, 0);
    struct Effect {
        const char* what;
        const char* file;
        double volume;
    };
    for (Effect e : {Effect{"footstep", "attack00.ogg", 0.5}, Effect{"shot", "arrow01.ogg", 0.5},
                     Effect{"catch", "hit_p13_a.ogg", 0.5}, Effect{"reel", "hit_p13_a.ogg", 0.4}}) {
        Decoded d = Decode(e.file);
        const double first = d.Power(0, size_t(0.150 * d.rate));
        const double margin = 10 * std::log10(e.volume * e.volume * first / (0.5 * 0.5 * music));
        std::printf("  %-9s %-14s at %.1f: %+.1f dB over the music\n", e.what, e.file, e.volume, margin);
        EXPECT_GE(margin, 6.0) << e.what;
    }
}

}  // namespace
