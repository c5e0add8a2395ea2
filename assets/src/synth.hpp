// Building blocks of the synthesiser: oscillators, filters, envelopes and a loop buffer
// that wraps note tails from its end back to its start, so music loops without a seam.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "audio.hpp"
#include "canvas.hpp"  // Random, kPi

namespace gx::audio {

inline double MidiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// Band-limited step correction for the sawtooth and square oscillators.
inline double PolyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

struct Osc {
    double phase = 0;
    double Saw(double hz) {
        double dt = hz / kRate;
        double v = 2.0 * phase - 1.0 - PolyBlep(phase, dt);
        Advance(dt);
        return v;
    }
    double Pulse(double hz, double width) {
        double dt = hz / kRate;
        double t2 = phase + (1.0 - width);
        if (t2 >= 1.0) t2 -= 1.0;
        double v = (phase < width ? 1.0 : -1.0) + PolyBlep(phase, dt) - PolyBlep(t2, dt);
        Advance(dt);
        return v;
    }
    double Sine(double hz) {
        double v = std::sin(2 * kPi * phase);
        Advance(hz / kRate);
        return v;
    }
    double Triangle(double hz) {
        double v = phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
        Advance(hz / kRate);
        return v;
    }
    void Advance(double dt) {
        phase += dt;
        phase -= std::floor(phase);
    }
};

// Two-pole low-pass (two cascaded one-pole stages, topology-preserving form).
struct LowPass {
    double s1 = 0, s2 = 0;
    double cutoff = -1, k = 0;
    double Run(double x, double cutoffHz) {
        // The coefficient is only worked out again when the cutoff has moved by 1%:
        // sweeps stay smooth and the tangent is not taken on every sample.
        if (std::fabs(cutoffHz - cutoff) > cutoff * 0.01) {
            cutoff = cutoffHz;
            double g = std::tan(kPi * std::fmin(cutoffHz, kRate * 0.45) / kRate);
            k = g / (1 + g);
        }
        double v1 = (x - s1) * k, y1 = v1 + s1;
        s1 = y1 + v1;
        double v2 = (y1 - s2) * k, y2 = v2 + s2;
        s2 = y2 + v2;
        return y2;
    }
};

struct HighPass {
    LowPass lp;
    double Run(double x, double cutoffHz) { return x - lp.Run(x, cutoffHz); }
};

// exp(-rate * t) stepped sample by sample: one multiplication instead of an exponential.
struct Decay {
    double value = 1, factor;
    explicit Decay(double rate) : factor(std::exp(-rate / kRate)) {}
    double Next() {
        double v = value;
        value *= factor;
        return v;
    }
};

// Attack, decay to a sustain level, release after the gate closes.
inline double Adsr(double t, double gate, double a, double d, double s, double r) {
    double level;
    if (t < a)
        level = t / a;
    else
        level = s + (1 - s) * std::exp(-(t - a) / d);
    if (t > gate) {
        double atGate = gate < a ? gate / a : s + (1 - s) * std::exp(-(gate - a) / d);
        level = atGate * std::exp(-(t - gate) / r);
    }
    return level;
}

// A stereo buffer of fixed length; writes past the end wrap to the start.
class LoopBuffer {
public:
    explicit LoopBuffer(size_t frames) : left_(frames, 0.0f), right_(frames, 0.0f) {}
    size_t Frames() const { return left_.size(); }
    void Add(size_t i, double l, double r) {
        i %= left_.size();
        left_[i] += static_cast<float>(l);
        right_[i] += static_cast<float>(r);
    }
    std::vector<float>& Left() { return left_; }
    std::vector<float>& Right() { return right_; }

private:
    std::vector<float> left_, right_;
};

// Equal-power pan: -1 left .. +1 right.
inline void PanGains(double pan, double& l, double& r) {
    double a = (pan + 1) * kPi / 4;
    l = std::cos(a);
    r = std::sin(a);
}

// Scales so that the loudest sample reaches `peak`.
void Normalise(Sound& s, double peak);

// Takes out the sound's DC offset (each channel's mean) without moving its first or last
// samples: the correction follows a raised-cosine window over the whole sound, so an effect
// still starts at once and ends in silence, and the shift is a sub-audible swell.
void RemoveDcWindowed(Sound& s);

// Takes out each channel's mean from every sample alike: for loops, whose end leads back
// into their start, so a constant shift keeps the seam whole.
void RemoveDcConstant(Sound& s);

// Soft saturation: more loudness for the same peak, so a short effect carries over the music.
void Saturate(Sound& s, double drive);

}  // namespace gx::audio
