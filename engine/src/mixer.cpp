// mixer.cpp -- voices, fades and streamed decoding of the engine's sound mixer.
#include "mixer.hpp"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace brisel {

// ---- Ogg Vorbis from memory ----------------------------------------------------------------

struct OggCallbacks {
    static size_t Read(void* ptr, size_t size, size_t count, void* source) {
        auto* r = static_cast<OggReader*>(source);
        const size_t want = size * count, left = r->file_->size() - r->pos_;
        const size_t n = std::min(want, left);
        std::memcpy(ptr, r->file_->data() + r->pos_, n);
        r->pos_ += n;
        return size != 0 ? n / size : 0;
    }
    static int Seek(void* source, ogg_int64_t offset, int whence) {
        auto* r = static_cast<OggReader*>(source);
        int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? int64_t(r->pos_)
                                            : int64_t(r->file_->size());
        int64_t to = base + offset;
        if (to < 0 || to > int64_t(r->file_->size())) return -1;
        r->pos_ = size_t(to);
        return 0;
    }
    static long Tell(void* source) { return long(static_cast<OggReader*>(source)->pos_); }
};

OggReader::~OggReader() {
    if (vf_ != nullptr) {
        ov_clear(static_cast<OggVorbis_File*>(vf_));
        delete static_cast<OggVorbis_File*>(vf_);
    }
}

std::unique_ptr<OggReader> OggReader::Open(std::shared_ptr<const std::vector<uint8_t>> file,
                                           std::string& error) {
    std::unique_ptr<OggReader> r(new OggReader);
    r->file_ = std::move(file);
    auto* vf = new OggVorbis_File{};
    const ov_callbacks callbacks{OggCallbacks::Read, OggCallbacks::Seek, nullptr, OggCallbacks::Tell};
    if (ov_open_callbacks(r.get(), vf, nullptr, 0, callbacks) != 0) {
        delete vf;
        error = "not a playable Ogg Vorbis stream";
        return nullptr;
    }
    r->vf_ = vf;
    const vorbis_info* info = ov_info(vf, -1);
    const ogg_int64_t total = ov_pcm_total(vf, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 8 || info->rate < 8000 ||
        info->rate > 192000 || total < 0) {
        error = "not a playable Ogg Vorbis stream";
        return nullptr;
    }
    r->rate_ = int(info->rate);
    r->channels_ = info->channels;
    r->frames_ = total;
    return r;
}

size_t OggReader::Read(float* stereo, size_t frames) {
    auto* vf = static_cast<OggVorbis_File*>(vf_);
    size_t done = 0;
    int holes = 0;
    while (done < frames) {
        float** pcm = nullptr;
        int section = 0;
        const long n = ov_read_float(vf, &pcm, int(std::min<size_t>(frames - done, 4096)), &section);
        if (n == OV_HOLE && ++holes < 8) continue;  // a damaged page: go on after it
        if (n <= 0) break;
        const float* l = pcm[0];
        const float* r = channels_ > 1 ? pcm[1] : pcm[0];
        for (long i = 0; i < n; ++i) {
            stereo[2 * (done + i)] = l[i];
            stereo[2 * (done + i) + 1] = r[i];
        }
        done += size_t(n);
    }
    return done;
}

bool OggReader::Seek(int64_t frame) { return ov_pcm_seek(static_cast<OggVorbis_File*>(vf_), frame) == 0; }

// ---- the mixer ---------------------------------------------------------------------------------

Mixer::Id Mixer::Add(SoundSource source) {
    std::lock_guard<std::mutex> lock(m_);
    auto s = std::make_shared<Sound>();
    s->id = next_++;
    s->source = std::move(source);
    sounds_.push_back(s);
    return s->id;
}

Mixer::Sound* Mixer::Find(Id id) {
    for (auto& s : sounds_)
        if (s->id == id) return s.get();
    return nullptr;
}

void Mixer::FadeOut(Voice& v) {
    v.current = false;
    v.step = -1.0f / kFadeFrames;
}

void Mixer::Remove(Id id) {
    std::lock_guard<std::mutex> lock(m_);
    for (auto& v : voices_)
        if (v->sound->id == id && v->current) FadeOut(*v);
    for (auto it = sounds_.begin(); it != sounds_.end(); ++it)
        if ((*it)->id == id) {
            sounds_.erase(it);  // tails still playing keep it alive
            break;
        }
}

void Mixer::Play(Id id, int64_t startFrame, bool loop, int64_t fadeInFrames) {
    std::unique_ptr<OggReader> reader;
    std::shared_ptr<Sound> sound;
    {
        std::lock_guard<std::mutex> lock(m_);
        for (auto& s : sounds_)
            if (s->id == id) sound = s;
        if (sound == nullptr) return;
        for (auto& v : voices_)
            if (v->sound == sound && v->current) FadeOut(*v);
        if (startFrame < 0 || startFrame >= sound->source.frames) return;
    }
    // Opening a decoder reads the file's headers: done outside the lock, so the device's
    // thread never waits on it.
    if (sound->source.ogg != nullptr) {
        std::string error;
        reader = OggReader::Open(sound->source.ogg, error);
        if (reader == nullptr || (startFrame > 0 && !reader->Seek(startFrame))) return;
    }
    auto v = std::make_unique<Voice>();
    v->sound = sound;
    v->position = startFrame;
    v->ogg = std::move(reader);
    v->loop = loop;
    if (fadeInFrames > 0) {
        v->gain = 0;
        v->step = 1.0f / float(fadeInFrames);
    }
    std::lock_guard<std::mutex> lock(m_);
    voices_.push_back(std::move(v));
}

void Mixer::Stop(Id id) {
    std::lock_guard<std::mutex> lock(m_);
    for (auto& v : voices_)
        if (v->sound->id == id && v->current) FadeOut(*v);
}

bool Mixer::Playing(Id id) {
    std::lock_guard<std::mutex> lock(m_);
    for (auto& v : voices_)
        if (v->sound->id == id && v->current && !v->finished) return true;
    return false;
}

void Mixer::SetGains(Id id, float left, float right) {
    std::lock_guard<std::mutex> lock(m_);
    if (Sound* s = Find(id)) {
        s->left = left;
        s->right = right;
    }
}

void Mixer::SetMaster(float gain) {
    std::lock_guard<std::mutex> lock(m_);
    master_ = gain;
}

size_t Mixer::Render(Voice& v, float* out, size_t frames) {
    size_t done = 0;
    int restarts = 0;
    while (done < frames) {
        size_t n = 0;
        if (v.ogg != nullptr) {
            n = v.ogg->Read(out + 2 * done, frames - done);
        } else {
            const Pcm& pcm = *v.sound->source.pcm;
            n = size_t(std::min<int64_t>(int64_t(frames - done), int64_t(pcm.Frames()) - v.position));
            std::memcpy(out + 2 * done, pcm.samples.data() + 2 * v.position, n * 2 * sizeof(float));
            v.position += int64_t(n);
        }
        done += n;
        if (done == frames) break;
        // The end: a repeating sound goes on from its first frame within this same buffer.
        if (!v.loop || ++restarts > 2) break;
        if (v.ogg != nullptr) {
            if (!v.ogg->Seek(0)) break;
        } else {
            v.position = 0;
        }
    }
    return done;
}

void Mixer::Hold(bool held) {
    std::lock_guard<std::mutex> lock(m_);
    held_ = held;
}

bool Mixer::Silent() {
    std::lock_guard<std::mutex> lock(m_);
    return held_ && hold_ == 0;
}

uint64_t Mixer::Mixes() {
    std::lock_guard<std::mutex> lock(m_);
    return mixes_;
}

void Mixer::Mix(float* out, size_t frames) {
    std::fill(out, out + 2 * frames, 0.0f);
    std::lock_guard<std::mutex> lock(m_);
    ++mixes_;
    if (held_ && hold_ == 0) return;  // held: every voice waits where it is
    scratch_.resize(2 * frames);
    for (auto& vp : voices_) {
        Voice& v = *vp;
        if (v.finished) continue;
        const size_t n = Render(v, scratch_.data(), frames);
        const float l = v.sound->left * master_, r = v.sound->right * master_;
        if (!v.started) {
            v.started = true;
            v.left = v.toLeft = l;
            v.right = v.toRight = r;
        } else if (l != v.toLeft || r != v.toRight) {
            v.toLeft = l;
            v.toRight = r;
            v.glide = kFadeFrames;
            v.stepLeft = (l - v.left) / float(kFadeFrames);
            v.stepRight = (r - v.right) / float(kFadeFrames);
        }
        for (size_t i = 0; i < n; ++i) {
            if (v.step != 0) {
                v.gain += v.step;
                if (v.gain >= 1) {
                    v.gain = 1;
                    v.step = 0;
                } else if (v.gain <= 0) {
                    v.gain = 0;
                    v.finished = true;
                    break;
                }
            }
            if (v.glide > 0) {
                v.left = --v.glide == 0 ? v.toLeft : v.left + v.stepLeft;
                v.right = v.glide == 0 ? v.toRight : v.right + v.stepRight;
            }
            out[2 * i] += scratch_[2 * i] * v.gain * v.left;
            out[2 * i + 1] += scratch_[2 * i + 1] * v.gain * v.right;
        }
        if (n < frames) v.finished = true;
    }
    std::erase_if(voices_, [](const std::unique_ptr<Voice>& v) { return v->finished; });
    // The whole mix's envelope: held, it falls to silence over kFadeFrames; let go, it rises.
    const float step = 1.0f / float(kFadeFrames);
    if (held_ || hold_ < 1) {
        for (size_t i = 0; i < frames; ++i) {
            hold_ = held_ ? std::max(0.0f, hold_ - step) : std::min(1.0f, hold_ + step);
            out[2 * i] *= hold_;
            out[2 * i + 1] *= hold_;
        }
    }
}

void Limiter::Apply(float* stereo, size_t frames) {
    // Back to full gain over about 100 ms (a time constant of 4410 frames).
    constexpr float kRelease = 1.0f / 4410.0f;
    for (size_t i = 0; i < frames; ++i) {
        float& l = stereo[2 * i];
        float& r = stereo[2 * i + 1];
        gain_ += (1 - gain_) * kRelease;
        const float peak = std::max(std::abs(l), std::abs(r)) * gain_;
        if (peak > kCeiling) gain_ *= kCeiling / peak;
        l *= gain_;
        r *= gain_;
        // Rounding may leave a sample a hair over: the ceiling itself is far from full scale.
        l = std::clamp(l, -kCeiling, kCeiling);
        r = std::clamp(r, -kCeiling, kCeiling);
    }
}

}  // namespace brisel
