// The five sound effects. Each begins at full strength on its first samples (the game plays
// them on the frame of the event, and the reel tick repeats every 83 ms), and each is well
// under a second long. The shot, the clank and the footstep are saturated a little: the same
// peak with more body, so that they carry over the music at the volumes the game plays them.
#include <algorithm>
#include <cmath>

#include "synth.hpp"

namespace gx::audio {

namespace {

Sound Mono(double seconds) {
    Sound s;
    s.left.assign(static_cast<size_t>(seconds * kRate), 0.0f);
    return s;
}

// Fades the last few milliseconds to zero so no effect ends on a click.
void FadeTail(Sound& s, double seconds) {
    size_t n = std::min(s.left.size(), static_cast<size_t>(seconds * kRate));
    for (size_t i = 0; i < n; ++i) s.left[s.left.size() - 1 - i] *= static_cast<float>(i) / n;
}

}  // namespace

Sound MakeShot() {
    // Rising whoosh: noise through a band that sweeps upward, with a faint rising tone.
    Sound s = Mono(0.30);
    Random rnd(0xA770);
    LowPass lp;
    HighPass hp;
    Osc tone;
    const size_t n = s.Frames();
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double f = 700 * std::pow(7.0, t / 0.3);
        double x = rnd.Uniform() * 2 - 1;
        double v = lp.Run(hp.Run(x, f * 0.5), f * 1.6) * 2.2;
        v += 0.25 * tone.Sine(320 * std::pow(4.0, t / 0.3));
        double env = std::min(1.0, t / 0.0015) * (0.75 + 0.25 * std::sin(kPi * t / 0.3)) * std::exp(-t * 7);
        s.left[i] = static_cast<float>(v * env);
    }
    Saturate(s, 1.6);
    FadeTail(s, 0.02);
    RemoveDcWindowed(s);
    Normalise(s, 0.8);
    return s;
}

Sound MakeHit() {
    // Clank: inharmonic metal partials with a click of noise on the strike.
    Sound s = Mono(0.35);
    Random rnd(0xC1A4);
    const double partials[][3] = {{523, 1.0, 14},  {1187, 0.7, 18}, {1971, 0.55, 22},
                                  {2843, 0.4, 30}, {3617, 0.3, 38}, {812, 0.5, 16}};
    HighPass hp;
    const double kRing = 0.7;  // the partials ring a little longer than they fall silent
    const size_t n = s.Frames();
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double v = 0;
        for (const auto& p : partials) v += p[1] * std::sin(2 * kPi * p[0] * t) * std::exp(-t * p[2] * kRing);
        v += hp.Run(rnd.Uniform() * 2 - 1, 2500) * std::exp(-t * 120) * 1.5;
        s.left[i] = static_cast<float>(v * std::min(1.0, t / 0.0005));
    }
    Saturate(s, 2.6);
    FadeTail(s, 0.03);
    RemoveDcWindowed(s);
    Normalise(s, 0.8);
    return s;
}

Sound MakeStep() {
    // Soft thud: a falling low sine and a short muffled scuff.
    Sound s = Mono(0.16);
    Random rnd(0x57E9);
    LowPass lp;
    Osc o;
    const size_t n = s.Frames();
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double v = o.Sine(50 + 70 * std::exp(-t * 40)) * std::exp(-t * 20);
        v += lp.Run(rnd.Uniform() * 2 - 1, 900) * std::exp(-t * 45) * 1.2;
        s.left[i] = static_cast<float>(v * std::min(1.0, t / 0.001));
    }
    Saturate(s, 2.5);
    FadeTail(s, 0.025);
    RemoveDcWindowed(s);
    Normalise(s, 0.8);
    return s;
}

Sound MakeLevelUp() {
    // Bright rising arpeggio: A major over two octaves, the last note ringing.
    Sound s = Mono(0.55);
    const int notes[] = {81, 85, 88, 93, 97};
    const double step = 0.06;
    const size_t n = s.Frames();
    for (int k = 0; k < 5; ++k) {
        Osc a, b;
        const double hz = MidiToHz(notes[k]);
        const size_t start = static_cast<size_t>(k * step * kRate);
        const double decay = k == 4 ? 6.0 : 18.0;
        for (size_t i = start; i < n; ++i) {
            double t = static_cast<double>(i - start) / kRate;
            double v = (0.5 * a.Pulse(hz, 0.5) + 0.5 * b.Triangle(hz * 2)) * std::exp(-t * decay);
            s.left[i] += static_cast<float>(v * std::min(1.0, t / 0.001) * 0.5);
        }
    }
    FadeTail(s, 0.05);
    RemoveDcWindowed(s);
    Normalise(s, 0.85);
    return s;
}

Sound MakeLevelDown() {
    // Falling tone: a filtered saw sliding down two octaves with a slight wobble.
    Sound s = Mono(0.6);
    Osc a, b;
    LowPass lp;
    const size_t n = s.Frames();
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double hz = 880 * std::pow(0.25, t / 0.6) * (1 + 0.02 * std::sin(2 * kPi * 9 * t));
        double v = lp.Run(0.6 * a.Saw(hz) + 0.4 * b.Pulse(hz * 0.5, 0.5), 2500 - 1800 * t / 0.6);
        s.left[i] = static_cast<float>(v * std::min(1.0, t / 0.001) * std::exp(-t * 2.5));
    }
    FadeTail(s, 0.05);
    RemoveDcWindowed(s);
    Normalise(s, 0.8);
    return s;
}

}  // namespace gx::audio
