// mixer.hpp -- the engine's own sound mixer: every sound the game plays, mixed in floating
// point at 44.1 kHz stereo, with no SDL in sight (the engine hands the result to the device).
//
// Why not SDL_mixer's channels, one per sound: a channel can only cut a sound off (a click), its
// fades move once per device buffer (23 ms), and it plays only what was decoded whole, which
// for a 40-second piece of music is 7 MB held for nothing. Here:
//   - a sound starts on its very first sample, at full strength (effects keep their attack);
//   - stopping, restarting or releasing a sound fades what was sounding over 10 ms, in a tail
//     of its own, while a restart begins at once beside it;
//   - a change of volume, panning or master gain glides over about 10 ms instead of jumping
//     (muting is a change of gain), and holding the whole mix (a minimised window, a quit)
//     fades it out over 10 ms, then keeps every voice where it was until it is let go;
//   - long sounds are decoded as they play, from the compressed file held in memory, and
//     loop sample-exactly (the decoder goes back to the first sample within the same buffer).
// The game's thread calls everything but Mix; the device's thread calls Mix. One mutex
// guards the lot.
#ifndef BRISEL_MIXER_HPP
#define BRISEL_MIXER_HPP

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace brisel {

constexpr int kMixRate = 44100;
constexpr int kFadeFrames = kMixRate / 100;  // stop and release fades: 10 ms
// The effects group sits this far under the volumes the game gives it (sound.cpp): at full
// strength the effects stood 12 to 18 dB over the music in their first 150 ms and pushed the
// mix to full scale; 4.5 dB down they carry over it by 6 to 10 dB.
constexpr double kEffectsTrim = 0.596;

// A decoded sound: stereo frames, interleaved left/right, at kMixRate.
struct Pcm {
    std::vector<float> samples;
    size_t Frames() const { return samples.size() / 2; }
};

// An Ogg Vorbis file held in memory, read as stereo frames (mono is put on both sides).
class OggReader {
public:
    ~OggReader();
    // Null with `error` set when the stream's headers cannot be read.
    static std::unique_ptr<OggReader> Open(std::shared_ptr<const std::vector<uint8_t>> file,
                                           std::string& error);
    size_t Read(float* stereo, size_t frames);  // fewer than asked only at the end (or on damage)
    bool Seek(int64_t frame);
    int64_t Frames() const { return frames_; }
    int Rate() const { return rate_; }
    int Channels() const { return channels_; }

private:
    OggReader() = default;
    std::shared_ptr<const std::vector<uint8_t>> file_;
    size_t pos_ = 0;
    void* vf_ = nullptr;  // OggVorbis_File
    int64_t frames_ = 0;
    int rate_ = 0, channels_ = 0;
    friend struct OggCallbacks;
};

// What a sound plays from: its decoded frames, or its compressed file decoded as it plays.
struct SoundSource {
    std::shared_ptr<const Pcm> pcm;
    std::shared_ptr<const std::vector<uint8_t>> ogg;
    int64_t frames = 0;
};

class Mixer {
public:
    using Id = uint64_t;

    Id Add(SoundSource source);  // a sound, silent until played
    void Remove(Id id);          // what plays of it fades out; the id is gone
    // Starts the sound from startFrame (a sound already playing restarts, its old playing
    // fading out beside it), fading in over fadeInFrames (0: at full strength at once).
    void Play(Id id, int64_t startFrame, bool loop, int64_t fadeInFrames);
    void Stop(Id id);  // fades out over kFadeFrames
    bool Playing(Id id);
    void SetGains(Id id, float left, float right);  // volume and panning
    void SetMaster(float gain);
    // Fades the whole mix out over kFadeFrames and then holds every voice where it is (held),
    // or fades it back in from there (not held).
    void Hold(bool held);
    // Whether the mix is held and its fade has reached silence (every later Mix is silent).
    bool Silent();
    // The count of Mix calls so far: a caller waiting for the device to play a fade out.
    uint64_t Mixes();

    // Device thread: the next `frames` stereo frames of the mix, overwriting `out`.
    void Mix(float* out, size_t frames);

private:
    struct Sound {
        Id id;
        SoundSource source;
        float left = 1, right = 1;
    };
    struct Voice {
        std::shared_ptr<Sound> sound;
        int64_t position = 0;            // next frame of a decoded sound
        std::unique_ptr<OggReader> ogg;  // or the decoder of a streamed one
        bool loop = false;
        bool current = true;  // the sound's playing now; false for a fading tail
        float gain = 1;       // fade envelope
        float step = 0;       // its change per frame
        bool finished = false;
        // The gains applied: the sound's own times the master, set at the voice's first mix
        // and gliding to every change of them over kFadeFrames.
        bool started = false;
        float left = 0, right = 0;
        float toLeft = 0, toRight = 0;      // where the glide goes
        float stepLeft = 0, stepRight = 0;  // its change per frame
        int glide = 0;                      // frames of it left
    };
    size_t Render(Voice& v, float* out, size_t frames);  // the voice's own samples
    Sound* Find(Id id);
    void FadeOut(Voice& v);

    std::mutex m_;
    std::vector<std::shared_ptr<Sound>> sounds_;
    std::vector<std::unique_ptr<Voice>> voices_;
    std::vector<float> scratch_;
    float master_ = 1;
    float hold_ = 1;     // the whole mix's envelope
    bool held_ = false;  // hold_ falls to 0 and stays there
    uint64_t mixes_ = 0;
    Id next_ = 1;
};

// The last stage before the device: a peak limiter that keeps the mix below kCeiling. Its gain
// falls at once to what the loudest sample needs (the sample lands on the ceiling, never over
// it, so nothing is clamped) and comes back over about 100 ms: a loud moment is turned down, not
// squared off. Below the ceiling the mix passes untouched.
class Limiter {
public:
    static constexpr float kCeiling = 0.891f;  // -1 dBFS
    void Apply(float* stereo, size_t frames);
    float Gain() const { return gain_; }

private:
    float gain_ = 1;
};

}  // namespace brisel

#endif
