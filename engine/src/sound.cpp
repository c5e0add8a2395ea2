// sound.cpp -- sounds decoded at load, each on a mixer channel of its own.
//
// One channel per sound makes "stop, then play" restart exactly that sound, and lets every
// sound keep its own volume and panning. Without a sound device the engine falls back to
// SDL's dummy audio driver, so files are still decoded and checked and the game runs silent.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine.hpp"

using namespace brisel;

namespace {

BriselSnd* LiveSnd(BriselSnd* snd, const char* entry) {
    if (!IsLive(snd, Kind::Snd)) Raise(BRISEL_FAIL_ARGUMENT, std::string(entry) + ": not a live sound");
    return snd;
}

bool TryOpenMixer() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    return true;
}

int AllocateChannel(Engine& e) {
    if (!e.freeChannels.empty()) {
        int ch = e.freeChannels.back();
        e.freeChannels.pop_back();
        return ch;
    }
    int ch = e.channelCount++;
    if (Mix_AllocateChannels(-1) < e.channelCount) Mix_AllocateChannels(e.channelCount + 8);
    return ch;
}

bool Playing(const BriselSnd* snd) {
    if (snd->chunk == nullptr || snd->channel < 0 || !Mix_Playing(snd->channel)) return false;
    Mix_Chunk* on = Mix_GetChunk(snd->channel);
    return on == snd->chunk || (on != nullptr && on == snd->partial);
}

void DropPartial(BriselSnd* snd) {
    if (snd->partial != nullptr) {
        Mix_FreeChunk(snd->partial);
        snd->partial = nullptr;
    }
}

// Whether an Ogg file holds its whole stream: its pages, walked from the start, run to one
// flagged end-of-stream. SDL_mixer decodes a file cut anywhere after its headers to the part
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

// ---- groups: a gain between each sound's own volume and its channel ------------------------

bool ValidGroup(int64_t group) { return group == BRISEL_SOUND_EFFECTS || group == BRISEL_SOUND_MUSIC; }

double GroupGain(const Engine& e, int64_t group) { return e.muted ? 0.0 : e.groupVolume[group]; }

// The one place a sound's volume reaches its mixer channel.
void ApplyChannelVolume(const BriselSnd* snd) {
    if (snd->chunk == nullptr) return;
    Mix_Volume(snd->channel, int(std::lround(snd->volume * GroupGain(E(), snd->group) * MIX_MAX_VOLUME)));
}

double ClampVolume(double volume) { return std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 0.0; }

}  // namespace

namespace brisel {

void ApplyVolumes() {
    for (const auto& [handle, kind] : E().handles)
        if (kind == Kind::Snd) ApplyChannelVolume(static_cast<const BriselSnd*>(handle));
}

void SuspendSound(bool paused) {
    if (!E().audioOpen) return;
    if (paused)
        Mix_Pause(-1);
    else
        Mix_Resume(-1);
}

void OpenAudio() {
    Engine& e = E();
    Mix_Init(MIX_INIT_OGG);
    bool device = false, open = false;
    {
        // A machine without a sound device makes the sound libraries list every card they
        // looked for; the player gets one line from us instead.
        StderrMuffle quiet;
        device = open = TryOpenMixer();
        if (!device) {
            if (e.config.debug) std::fprintf(stderr, "brisel: no sound device (%s)\n", Mix_GetError());
            SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
            open = TryOpenMixer();
            SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        }
    }
    if (!device) std::fprintf(stderr, "%s: no sound device: playing silently\n", ProgramName());
    e.audioOpen = open;
    if (!open) return;  // not even the dummy driver: sounds are checked and kept silent
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&frequency, &format, &channels);
    e.audioFrequency = frequency;
    e.audioFormat = format;
    e.audioChannels = channels;
    Mix_AllocateChannels(8);
    e.channelCount = 0;
    e.freeChannels.clear();
    Mix_MasterVolume(int(std::lround(e.masterVolume * MIX_MAX_VOLUME)));
}

void CloseAudio() {
    Engine& e = E();
    if (e.audioOpen) {
        Mix_HaltChannel(-1);
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    Mix_Quit();
    e.audioOpen = false;
}

void ReleaseSnd(BriselSnd* snd) {
    Unregister(snd);
    if (snd->chunk != nullptr) {
        // Releasing a sound stops it: music released with its scene must not play on. The
        // trace notes it for a repeating sound, which is certainly still playing; whether a
        // short one has finished depends on the audio thread's timing, and traces must not.
        if (snd->looping) TraceLine("stop %s", snd->name.c_str());
        Mix_HaltChannel(snd->channel);
        Mix_SetPanning(snd->channel, 255, 255);
        Mix_Volume(snd->channel, MIX_MAX_VOLUME);
        Mix_FreeChunk(snd->chunk);
        DropPartial(snd);
        E().freeChannels.push_back(snd->channel);
    }
    delete snd;
}

}  // namespace brisel

extern "C" {

BriselSnd* LoadSnd(const char* path) {
    BRISEL_ENTRY;
    RequireInit("LoadSnd");
    if (path == nullptr) Raise(BRISEL_FAIL_ARGUMENT, "LoadSnd: no file name");
    Engine& e = E();
    std::string file = DataPath(path);
    std::vector<uint8_t> data = ReadWholeFile(file);
    // Only the two formats the engine takes: SDL_mixer would try anything it recognises
    // (MIDI, tracker modules, MP3 ...) on bytes that are not a sound at all.
    const bool ogg = data.size() >= 4 && std::memcmp(data.data(), "OggS", 4) == 0;
    const bool wav = data.size() >= 4 && std::memcmp(data.data(), "RIFF", 4) == 0;
    if (!ogg && !wav) Raise(BRISEL_FAIL_LOAD, file + ": not an Ogg or WAV sound");
    if (ogg && !OggComplete(data)) Raise(BRISEL_FAIL_LOAD, file + ": the Ogg stream is cut short or damaged");
    if (wav && !WavComplete(data)) Raise(BRISEL_FAIL_LOAD, file + ": the WAV file is cut short or damaged");
    auto snd = std::make_unique<BriselSnd>();
    snd->name = path;
    if (!e.audioOpen) {
        // No mixer to decode with: check what can be checked and keep the sound silent.
        if (data.size() < 4 ||
            (std::memcmp(data.data(), "OggS", 4) != 0 && std::memcmp(data.data(), "RIFF", 4) != 0))
            Raise(BRISEL_FAIL_LOAD, file + ": not an Ogg or WAV sound");
    } else {
        SDL_RWops* rw = SDL_RWFromConstMem(data.data(), int(data.size()));
        Mix_Chunk* chunk = rw != nullptr ? Mix_LoadWAV_RW(rw, 1) : nullptr;
        if (chunk == nullptr)
            Raise(BRISEL_FAIL_LOAD, file + ": not a playable sound (" + Mix_GetError() + ")");
        if (chunk->alen == 0) {
            // An Ogg cut short after its headers decodes to nothing.
            Mix_FreeChunk(chunk);
            Raise(BRISEL_FAIL_LOAD, file + ": no sound data (the file is cut short)");
        }
        snd->chunk = chunk;
        int frameBytes = (SDL_AUDIO_BITSIZE(e.audioFormat) / 8) * e.audioChannels;
        snd->seconds = double(chunk->alen) / (double(frameBytes) * e.audioFrequency);
        snd->channel = AllocateChannel(e);
        ApplyChannelVolume(snd.get());
    }
    BriselSnd* handle = snd.release();
    Register(handle, Kind::Snd);
    return handle;
}

void PlaySnd(BriselSnd* snd, double startSeconds, bool loop, double fadeSeconds) {
    BRISEL_ENTRY;
    LiveSnd(snd, "PlaySnd");
    TraceLine("play %s %d", snd->name.c_str(), loop ? 1 : 0);
    snd->looping = loop;
    if (snd->chunk == nullptr) return;  // silent run
    Engine& e = E();
    Mix_HaltChannel(snd->channel);
    DropPartial(snd);
    Mix_Chunk* chunk = snd->chunk;
    if (std::isfinite(startSeconds) && startSeconds > 0) {
        if (startSeconds >= snd->seconds) return;  // starts past the end: nothing to hear
        int frameBytes = (SDL_AUDIO_BITSIZE(e.audioFormat) / 8) * e.audioChannels;
        Uint32 offset = Uint32(startSeconds * e.audioFrequency) * Uint32(frameBytes);
        snd->partial = Mix_QuickLoad_RAW(chunk->abuf + offset, chunk->alen - offset);
        if (snd->partial == nullptr) return;
        chunk = snd->partial;
    }
    int loops = loop ? -1 : 0;
    if (std::isfinite(fadeSeconds) && fadeSeconds > 0)
        Mix_FadeInChannel(snd->channel, chunk, loops, int(std::min(fadeSeconds, 3600.0) * 1000));
    else
        Mix_PlayChannel(snd->channel, chunk, loops);
    if (e.suspended) Mix_Pause(snd->channel);  // started while minimised: heard on return
}

void StopSnd(BriselSnd* snd) {
    BRISEL_ENTRY;
    LiveSnd(snd, "StopSnd");
    TraceLine("stop %s", snd->name.c_str());
    snd->looping = false;
    if (snd->chunk != nullptr) Mix_HaltChannel(snd->channel);
}

bool ChkPlayingSnd(BriselSnd* snd) {
    BRISEL_ENTRY;
    return Playing(LiveSnd(snd, "ChkPlayingSnd"));
}

void VolumeSnd(BriselSnd* snd, double volume) {
    BRISEL_ENTRY;
    LiveSnd(snd, "VolumeSnd");
    snd->volume = ClampVolume(volume);
    ApplyChannelVolume(snd);
}

void PanSnd(BriselSnd* snd, double pan) {
    BRISEL_ENTRY;
    LiveSnd(snd, "PanSnd");
    if (!std::isfinite(pan)) pan = 0;
    pan = std::clamp(pan, -1.0, 1.0);
    if (snd->chunk == nullptr) return;
    Uint8 left = Uint8(std::lround(255 * std::min(1.0, 1.0 - pan)));
    Uint8 right = Uint8(std::lround(255 * std::min(1.0, 1.0 + pan)));
    Mix_SetPanning(snd->channel, left, right);
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
    e.masterVolume = std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 0.0;
    if (e.audioOpen) Mix_MasterVolume(int(std::lround(e.masterVolume * MIX_MAX_VOLUME)));
}

void SetSndGroup(BriselSnd* snd, int64_t group) {
    BRISEL_ENTRY;
    LiveSnd(snd, "SetSndGroup");
    if (!ValidGroup(group))
        Raise(BRISEL_FAIL_ARGUMENT, "SetSndGroup: no sound group " + std::to_string(group));
    snd->group = group;
    ApplyChannelVolume(snd);
}

void SetGroupVolume(int64_t group, double volume) {
    BRISEL_ENTRY;
    if (!ValidGroup(group))
        Raise(BRISEL_FAIL_ARGUMENT, "SetGroupVolume: no sound group " + std::to_string(group));
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
