// sound.cpp -- sounds checked at load and played through the engine's own mixer (mixer.hpp),
// which feeds an SDL audio device.
//
// Short sounds are decoded at load; long ones (music) keep only their compressed file and are
// decoded as they play. Every sound keeps its own volume and panning, and "stop, then play"
// restarts exactly that sound. Without a sound device the engine falls back to SDL's dummy
// audio driver, so files are still checked and the game runs silent.
#include <ogg/ogg.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine.hpp"
#include "mixer.hpp"

using namespace brisel;

namespace {

BriselSnd* LiveSnd(BriselSnd* snd, const char* entry) {
    if (!IsLive(snd, Kind::Snd)) Raise(BRISEL_FAIL_ARGUMENT, std::string(entry) + ": not a live sound");
    return snd;
}

// Whether an Ogg file holds its whole stream: its pages, walked from the start, run to one
// flagged end-of-stream. A decoder reads a file cut anywhere after its headers to the part
// that is there, so without this a damaged sound would play cut off instead of not at all.
bool OggComplete(const std::vector<uint8_t>& d) {
    size_t pos = 0;
    bool ended = false;
    while (pos + 27 <= d.size() && std::memcmp(&d[pos], "OggS", 4) == 0) {
        const size_t segments = d[pos + 26];
        if (pos + 27 + segments > d.size()) return false;
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i) body += d[pos + 27 + i];
        if (pos + 27 + segments + body > d.size()) return false;
        ended = (d[pos + 5] & 0x04) != 0;
        pos += 27 + segments + body;
    }
    return ended;
}

// Whether a WAV file's chunks all lie inside it. SDL sizes its buffer from the data chunk's
// header before reading it: a small file claiming gigabytes would get them allocated.
bool WavComplete(const std::vector<uint8_t>& d) {
    if (d.size() < 12 || std::memcmp(&d[8], "WAVE", 4) != 0) return false;
    auto u32 = [&](size_t at) {
        return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 |
               uint32_t(d[at + 3]) << 24;
    };
    bool format = false, samples = false;
    size_t pos = 12;
    while (pos + 8 <= d.size()) {
        const uint64_t end = uint64_t(pos) + 8 + u32(pos + 4);
        if (end > d.size()) return false;
        format |= std::memcmp(&d[pos], "fmt ", 4) == 0;
        samples |= std::memcmp(&d[pos], "data", 4) == 0;
        pos = size_t(end + (end & 1));  // chunks are padded to even sizes
    }
    return format && samples;
}

// Whether every page of an Ogg file is whole and its checksum right. A streamed sound is
// decoded only as it plays: damage must be found here, when it is loaded.
bool OggPagesIntact(const std::vector<uint8_t>& d) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, long(d.size()));
    bool intact = buffer != nullptr;
    if (intact) {
        std::memcpy(buffer, d.data(), d.size());
        ogg_sync_wrote(&sync, long(d.size()));
        ogg_page page;
        int r;
        // Up to the end of the stream: whatever follows it is never read.
        while ((r = ogg_sync_pageout(&sync, &page)) != 0) {
            if (r < 0) {
                intact = false;  // bytes skipped: a page failed its checksum
                break;
            }
            if (ogg_page_eos(&page)) break;
        }
    }
    ogg_sync_clear(&sync);
    return intact;
}

// Longer sounds than this are decoded as they play; shorter ones at load.
constexpr double kStreamSeconds = 4.0;

// ---- the device side of the mixer ----------------------------------------------------------

SDL_AudioDeviceID g_device = 0;
Mixer* g_mixer = nullptr;
SDL_AudioStream* g_toDevice = nullptr;  // float stereo 44.1 kHz -> the device's format, if it differs
std::vector<float> g_mixBuffer;
Limiter g_limiter;  // the device's thread alone uses it

void Feed(void*, Uint8* stream, int len) {
    if (g_mixer == nullptr) {
        std::memset(stream, 0, size_t(len));
        return;
    }
    if (g_toDevice == nullptr) {  // the device takes 16-bit stereo at 44.1 kHz: convert here
        const size_t frames = size_t(len) / 4;
        g_mixBuffer.resize(2 * frames);
        g_mixer->Mix(g_mixBuffer.data(), frames);
        g_limiter.Apply(g_mixBuffer.data(), frames);
        auto* out = reinterpret_cast<int16_t*>(stream);
        for (size_t i = 0; i < 2 * frames; ++i)
            out[i] = int16_t(std::lround(std::clamp(g_mixBuffer[i], -1.0f, 1.0f) * 32767.0f));
        return;
    }
    const size_t chunk = 512;
    g_mixBuffer.resize(2 * chunk);
    while (SDL_AudioStreamAvailable(g_toDevice) < len) {
        g_mixer->Mix(g_mixBuffer.data(), chunk);
        g_limiter.Apply(g_mixBuffer.data(), chunk);
        if (SDL_AudioStreamPut(g_toDevice, g_mixBuffer.data(), int(g_mixBuffer.size() * sizeof(float))) != 0)
            break;
    }
    if (SDL_AudioStreamGet(g_toDevice, stream, len) != len) std::memset(stream, 0, size_t(len));
}

// A device of SDL's own, fed by the mixer: 16-bit stereo at 44.1 kHz where the device takes it.
bool TryOpenDevice(Engine& e) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    // 512 frames, 11.6 ms a buffer: a shot is heard sooner than with SDL's usual 1024, and
    // closing the device, which lets two buffers' time pass before the thread ends, holds a quit
    // up for 23 ms instead of 46.
    want.samples = 512;
    want.callback = Feed;
    g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                   SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (g_device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    e.audioFrequency = have.freq;
    e.audioFormat = have.format;
    e.audioChannels = have.channels;
    return true;
}

void StartMixer(Engine& e) {
    if (!(e.audioFrequency == kMixRate && e.audioChannels == 2 && e.audioFormat == AUDIO_S16SYS))
        g_toDevice = SDL_NewAudioStream(AUDIO_F32SYS, 2, kMixRate, e.audioFormat, Uint8(e.audioChannels),
                                        e.audioFrequency);
    g_mixer = new Mixer;
    g_mixer->SetMaster(float(e.masterVolume));
    SDL_PauseAudioDevice(g_device, 0);
}

void StopMixer() {
    // The mix fades out before the device closes: a quit never cuts the sound off. The device's
    // thread must have mixed the silence after the fade (two buffers' time, 23 ms, at most; the
    // wait gives up after 150 ms should the device stall).
    g_mixer->Hold(true);
    const uint64_t deadline = SDL_GetTicks64() + 150;
    uint64_t silentAt = 0;
    while (SDL_GetTicks64() < deadline && SDL_GetAudioDeviceStatus(g_device) == SDL_AUDIO_PLAYING) {
        if (silentAt == 0 && g_mixer->Silent()) silentAt = g_mixer->Mixes();
        if (silentAt != 0 && g_mixer->Mixes() > silentAt + 1) break;
        SDL_Delay(2);
    }
    SDL_CloseAudioDevice(g_device);  // waits for the device's thread to leave Feed
    g_device = 0;
    delete g_mixer;
    g_mixer = nullptr;
    if (g_toDevice != nullptr) SDL_FreeAudioStream(g_toDevice);
    g_toDevice = nullptr;
}

// Float stereo frames at the mixer's rate from any interleaved samples SDL knows. A whole-buffer
// conversion: it keeps every frame (a stream conversion holds back its last few).
bool ConvertForMixer(const void* samples, size_t bytes, SDL_AudioFormat format, int channels, int rate,
                     Pcm& out) {
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, format, Uint8(channels), rate, AUDIO_F32SYS, 2, kMixRate) < 0) return false;
    if (bytes > size_t(INT32_MAX / std::max(1, cvt.len_mult))) return false;
    std::vector<Uint8> work(bytes * size_t(std::max(1, cvt.len_mult)));
    std::memcpy(work.data(), samples, bytes);
    cvt.buf = work.data();
    cvt.len = int(bytes);
    if (cvt.needed != 0 && SDL_ConvertAudio(&cvt) != 0) return false;
    const size_t produced = cvt.needed != 0 ? size_t(cvt.len_cvt) : bytes;
    out.samples.resize(produced / sizeof(float) & ~size_t(1));
    std::memcpy(out.samples.data(), work.data(), out.samples.size() * sizeof(float));
    return true;
}

// ---- groups: a gain between each sound's own volume and the mix -------------------------------

bool ValidGroup(int64_t group) { return group == BRISEL_SOUND_EFFECTS || group == BRISEL_SOUND_MUSIC; }

// The effects' trim (mixer.hpp) applies here; the volumes the game sets, and reads back, are
// its own.
double GroupGain(const Engine& e, int64_t group) {
    if (e.muted) return 0.0;
    return e.groupVolume[group] * (group == BRISEL_SOUND_EFFECTS ? kEffectsTrim : 1.0);
}

double ClampVolume(double volume) { return std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 0.0; }

// The one place a sound's volume, panning and group reach the mixer.
void GainsOf(BriselSnd* snd) {
    if (g_mixer == nullptr || snd->mixId == 0) return;
    const double left = std::min(1.0, 1.0 - snd->pan), right = std::min(1.0, 1.0 + snd->pan);
    const double volume = snd->volume * GroupGain(E(), snd->group);
    g_mixer->SetGains(snd->mixId, float(volume * left), float(volume * right));
}

// What the mixer plays the file from; raises BRISEL_FAIL_LOAD naming the file.
SoundSource Decode(const std::string& file, std::vector<uint8_t> data, bool ogg) {
    SoundSource source;
    auto pcm = std::make_shared<Pcm>();
    if (ogg) {
        auto bytes = std::make_shared<const std::vector<uint8_t>>(std::move(data));
        std::string error;
        std::unique_ptr<OggReader> reader = OggReader::Open(bytes, error);
        if (reader == nullptr) Raise(BRISEL_FAIL_LOAD, file + ": not a playable sound (" + error + ")");
        if (reader->Frames() == 0) Raise(BRISEL_FAIL_LOAD, file + ": no sound data (the file is cut short)");
        if (!OggPagesIntact(*bytes)) Raise(BRISEL_FAIL_LOAD, file + ": the Ogg stream is damaged");
        if (reader->Rate() == kMixRate && reader->Frames() > int64_t(kStreamSeconds * kMixRate)) {
            source.ogg = bytes;
            source.frames = reader->Frames();
            return source;
        }
        std::vector<float> stereo(size_t(reader->Frames()) * 2);
        const size_t got = reader->Read(stereo.data(), size_t(reader->Frames()));
        if (got == 0) Raise(BRISEL_FAIL_LOAD, file + ": no sound data (the file is cut short)");
        stereo.resize(2 * got);
        if (reader->Rate() == kMixRate) {
            pcm->samples = std::move(stereo);
        } else if (!ConvertForMixer(stereo.data(), stereo.size() * sizeof(float), AUDIO_F32SYS, 2,
                                    reader->Rate(), *pcm)) {
            Raise(BRISEL_FAIL_LOAD, file + ": cannot convert the sound (" + SDL_GetError() + ")");
        }
    } else {
        SDL_RWops* rw = SDL_RWFromConstMem(data.data(), int(data.size()));
        SDL_AudioSpec wav{};
        Uint8* samples = nullptr;
        Uint32 bytes = 0;
        if (rw == nullptr || SDL_LoadWAV_RW(rw, 1, &wav, &samples, &bytes) == nullptr)
            Raise(BRISEL_FAIL_LOAD, file + ": not a playable sound (" + SDL_GetError() + ")");
        const bool ok = ConvertForMixer(samples, bytes, wav.format, wav.channels, wav.freq, *pcm);
        SDL_FreeWAV(samples);
        if (!ok) Raise(BRISEL_FAIL_LOAD, file + ": cannot convert the sound (" + SDL_GetError() + ")");
    }
    if (pcm->Frames() == 0) Raise(BRISEL_FAIL_LOAD, file + ": no sound data (the file is cut short)");
    source.frames = int64_t(pcm->Frames());
    source.pcm = std::move(pcm);
    return source;
}

}  // namespace

namespace brisel {

void OpenAudio() {
    Engine& e = E();
    bool device = false, open = false;
    {
        // A machine without a sound device makes the sound libraries list every card they
        // looked for; the player gets one line from us instead.
        StderrMuffle quiet;
        device = open = TryOpenDevice(e);
        if (!device) {
            if (e.config.debug) std::fprintf(stderr, "brisel: no sound device (%s)\n", SDL_GetError());
            SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
            open = TryOpenDevice(e);
            SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        }
    }
    if (!device) std::fprintf(stderr, "%s: no sound device: playing silently\n", ProgramName());
    e.audioOpen = open;
    if (!open) return;  // not even the dummy driver: sounds are checked and kept silent
    StartMixer(e);
    if (e.suspended) g_mixer->Hold(true);
}

void ApplyVolumes() {
    for (const auto& [handle, kind] : E().handles)
        if (kind == Kind::Snd) GainsOf(static_cast<BriselSnd*>(const_cast<void*>(handle)));
}

void SuspendSound(bool paused) {
    // The mix fades out and every voice waits where it was, then fades in from there.
    if (g_mixer != nullptr) g_mixer->Hold(paused);
}

void UpdateSoundHold(Engine& e) {
    const Playback& p = e.playback;
    const bool quiet = p.active && (p.paused || p.speed != kNormalSpeed);
    const bool held = e.suspended || e.viewerQuiet;
    e.viewerQuiet = quiet;
    if (held != (e.suspended || quiet)) SuspendSound(!held);
}

void CloseAudio() {
    Engine& e = E();
    if (e.audioOpen) {
        StopMixer();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    e.audioOpen = false;
}

void ResumeLoopingSounds() {
    if (g_mixer == nullptr) return;
    for (const auto& [handle, kind] : E().handles) {
        if (kind != Kind::Snd) continue;
        const auto* snd = static_cast<const BriselSnd*>(handle);
        if (snd->looping && snd->mixId != 0) g_mixer->Play(snd->mixId, 0, true, kFadeFrames);
    }
}

void ReleaseSnd(BriselSnd* snd) {
    Unregister(snd);
    if (snd->mixId != 0) {
        // Releasing a sound stops it (fading out over 10 ms): music released with its scene
        // must not play on. The trace notes it for a repeating sound, which is certainly
        // still playing; whether a short one has finished depends on the audio thread's
        // timing, and traces must not.
        if (snd->looping) TraceLine("stop %s", snd->name.c_str());
        if (g_mixer != nullptr) g_mixer->Remove(snd->mixId);
    }
    delete snd;
}

}  // namespace brisel

extern "C" {

BriselSnd* LoadSnd(const char* path) {
    BRISEL_ENTRY;
    RequireInit("LoadSnd");
    if (path == nullptr) Raise(BRISEL_FAIL_ARGUMENT, "LoadSnd: no file name");
    std::string file = DataPath(path);
    std::vector<uint8_t> data = ReadWholeFile(file);
    // Only the two formats the engine takes: anything else is not a sound at all.
    const bool ogg = data.size() >= 4 && std::memcmp(data.data(), "OggS", 4) == 0;
    const bool wav = data.size() >= 4 && std::memcmp(data.data(), "RIFF", 4) == 0;
    if (!ogg && !wav) Raise(BRISEL_FAIL_LOAD, file + ": not an Ogg or WAV sound");
    if (ogg && !OggComplete(data)) Raise(BRISEL_FAIL_LOAD, file + ": the Ogg stream is cut short or damaged");
    if (wav && !WavComplete(data)) Raise(BRISEL_FAIL_LOAD, file + ": the WAV file is cut short or damaged");
    auto snd = std::make_unique<BriselSnd>();
    snd->name = path;
    // Checked the same way with or without a device; without one it stays silent.
    SoundSource source = Decode(file, std::move(data), ogg);
    snd->seconds = double(source.frames) / kMixRate;
    if (g_mixer != nullptr) snd->mixId = g_mixer->Add(std::move(source));
    GainsOf(snd.get());  // its group's gain, from the start
    BriselSnd* handle = snd.release();
    Register(handle, Kind::Snd);
    return handle;
}

void PlaySnd(BriselSnd* snd, double startSeconds, bool loop, double fadeSeconds) {
    BRISEL_ENTRY;
    LiveSnd(snd, "PlaySnd");
    TraceLine("play %s %d", snd->name.c_str(), loop ? 1 : 0);
    HashText(snd->name);
    HashCall('P', startSeconds, loop, fadeSeconds);
    snd->looping = loop;
    // A silent run, or a fast-forward: a repeating sound starts when the fast-forward ends.
    // The viewer's other speeds hold the mix: an effect would wait in it until 1x.
    if (snd->mixId == 0 || g_mixer == nullptr || E().fastForward || (E().viewerQuiet && !loop)) return;
    int64_t start = 0, fade = 0;
    if (std::isfinite(startSeconds) && startSeconds > 0) {
        if (startSeconds >= snd->seconds) {  // starts past the end: nothing to hear
            g_mixer->Stop(snd->mixId);
            return;
        }
        start = int64_t(startSeconds * kMixRate);
    }
    if (std::isfinite(fadeSeconds) && fadeSeconds > 0)
        fade = int64_t(std::min(fadeSeconds, 3600.0) * kMixRate);
    // Music never starts at full level from one sample to the next (a click at a scene's start):
    // it comes in over 10 ms at least. Effects keep their own attack.
    if (loop) fade = std::max<int64_t>(fade, kFadeFrames);
    g_mixer->Play(snd->mixId, start, loop, fade);
}

void StopSnd(BriselSnd* snd) {
    BRISEL_ENTRY;
    LiveSnd(snd, "StopSnd");
    TraceLine("stop %s", snd->name.c_str());
    HashText(snd->name);
    HashCall('S');
    snd->looping = false;
    if (snd->mixId != 0 && g_mixer != nullptr) g_mixer->Stop(snd->mixId);
}

bool ChkPlayingSnd(BriselSnd* snd) {
    BRISEL_ENTRY;
    LiveSnd(snd, "ChkPlayingSnd");
    return snd->mixId != 0 && g_mixer != nullptr && g_mixer->Playing(snd->mixId);
}

void VolumeSnd(BriselSnd* snd, double volume) {
    BRISEL_ENTRY;
    LiveSnd(snd, "VolumeSnd");
    HashText(snd->name);
    HashCall('O', volume);
    snd->volume = ClampVolume(volume);
    GainsOf(snd);
}

void PanSnd(BriselSnd* snd, double pan) {
    BRISEL_ENTRY;
    LiveSnd(snd, "PanSnd");
    HashText(snd->name);
    HashCall('N', pan);
    if (!std::isfinite(pan)) pan = 0;
    snd->pan = std::clamp(pan, -1.0, 1.0);
    GainsOf(snd);
}

void FreqSnd(BriselSnd*, double) {
    BRISEL_ENTRY;
    RaiseNotProvided("FreqSnd");
}

double PosSnd(BriselSnd*) {
    BRISEL_ENTRY;
    RaiseNotProvided("PosSnd");
}

double LenSnd(BriselSnd* snd) {
    BRISEL_ENTRY;
    return LiveSnd(snd, "LenSnd")->seconds;
}

double GetMasterVolume(void) {
    BRISEL_ENTRY;
    return E().masterVolume;
}

void SetMasterVolume(double volume) {
    BRISEL_ENTRY;
    Engine& e = E();
    HashVolumeCall('M', volume);
    e.masterVolume = std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 0.0;
    if (g_mixer != nullptr) g_mixer->SetMaster(float(e.masterVolume));
}

void SetSndGroup(BriselSnd* snd, int64_t group) {
    BRISEL_ENTRY;
    LiveSnd(snd, "SetSndGroup");
    if (!ValidGroup(group))
        Raise(BRISEL_FAIL_ARGUMENT, "SetSndGroup: no sound group " + std::to_string(group));
    HashText(snd->name);
    HashCall('G', group);
    snd->group = group;
    GainsOf(snd);
}

void SetGroupVolume(int64_t group, double volume) {
    BRISEL_ENTRY;
    if (!ValidGroup(group))
        Raise(BRISEL_FAIL_ARGUMENT, "SetGroupVolume: no sound group " + std::to_string(group));
    HashVolumeCall('g', group, volume);
    E().groupVolume[group] = ClampVolume(volume);
    ApplyVolumes();
}

double GetGroupVolume(int64_t group) {
    BRISEL_ENTRY;
    if (!ValidGroup(group))
        Raise(BRISEL_FAIL_ARGUMENT, "GetGroupVolume: no sound group " + std::to_string(group));
    return E().groupVolume[group];
}

void SetMute(bool mute) {
    BRISEL_ENTRY;
    HashVolumeCall('m', mute);
    E().muted = mute;
    ApplyVolumes();
}

bool GetMute(void) {
    BRISEL_ENTRY;
    return E().muted;
}

void PlayMovie(const char*) {
    BRISEL_ENTRY;
    RaiseNotProvided("PlayMovie");
}

void PlayBGM(const char*) {
    BRISEL_ENTRY;
    RaiseNotProvided("PlayBGM");
}

void PlayBGMFade(const char*, double) {
    BRISEL_ENTRY;
    RaiseNotProvided("PlayBGMFade");
}

void PlayBGMCross(const char*, double) {
    BRISEL_ENTRY;
    RaiseNotProvided("PlayBGMCross");
}

void StopBGM(void) {
    BRISEL_ENTRY;
    RaiseNotProvided("StopBGM");
}

void StopBGMFade(double) {
    BRISEL_ENTRY;
    RaiseNotProvided("StopBGMFade");
}

}  // extern "C"
