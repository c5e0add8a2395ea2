// The two music pieces. One theme in A minor: the title plays it at 140 beats a minute
// with a steady groove; the game plays it at 168 with sixteenth-note bass, arpeggios and
// a busier kit, so the stage feels like a chase. Both are whole bars rendered into a loop
// buffer: tails of the last notes wrap into the first bar, so the loop has no seam.
#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "synth.hpp"

namespace gx::audio {

void Normalise(Sound& s, double peak) {
    float m = 0;
    for (float v : s.left) m = std::max(m, std::fabs(v));
    for (float v : s.right) m = std::max(m, std::fabs(v));
    if (m <= 0) return;
    float k = static_cast<float>(peak / m);
    for (float& v : s.left) v *= k;
    for (float& v : s.right) v *= k;
}

void RemoveDcWindowed(Sound& s) {
    for (auto* ch : {&s.left, &s.right}) {
        const size_t n = ch->size();
        if (n < 3) continue;
        double sum = 0, weights = 0;
        std::vector<double> w(n);
        for (size_t i = 0; i < n; ++i) {
            w[i] = 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(n - 1));
            sum += (*ch)[i];
            weights += w[i];
        }
        const double k = sum / weights;
        for (size_t i = 0; i < n; ++i) (*ch)[i] = static_cast<float>((*ch)[i] - k * w[i]);
    }
}

void RemoveDcConstant(Sound& s) {
    for (auto* ch : {&s.left, &s.right}) {
        if (ch->empty()) continue;
        double sum = 0;
        for (float v : *ch) sum += v;
        const float mean = static_cast<float>(sum / double(ch->size()));
        for (float& v : *ch) v -= mean;
    }
}

void Saturate(Sound& s, double drive) {
    float m = 0;
    for (float v : s.left) m = std::max(m, std::fabs(v));
    for (float v : s.right) m = std::max(m, std::fabs(v));
    if (m <= 0) return;
    for (auto* ch : {&s.left, &s.right})
        for (float& v : *ch) v = static_cast<float>(std::tanh(drive * v / m));
}

namespace {

// RMS of a whole piece: low enough that the effects, played at the same volume, stand well
// clear of it.
constexpr double kMusicLoudness = 0.11;

// ---- notes and chords -----------------------------------------------------------------

int ParseNote(const std::string& tok) {
    static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    int n = base[tok[0] - 'A'];
    size_t i = 1;
    if (i < tok.size() && tok[i] == '#') {
        ++n;
        ++i;
    }
    if (i < tok.size() && tok[i] == 'b') {
        --n;
        ++i;
    }
    int octave = std::stoi(tok.substr(i));
    return 12 * (octave + 1) + n;
}

struct Note {
    int step, length, midi;
};

// One bar per string, eight eighth-note steps: a note name starts a note, "-" holds it,
// "." is a rest.
std::vector<Note> ParseMelody(const std::vector<std::string>& bars) {
    std::vector<Note> notes;
    int step = 0;
    for (const std::string& bar : bars) {
        std::istringstream in(bar);
        std::string tok;
        while (in >> tok) {
            if (tok == "-") {
                if (!notes.empty() && notes.back().step + notes.back().length == step) ++notes.back().length;
            } else if (tok != ".") {
                notes.push_back({step, 1, ParseNote(tok)});
            }
            ++step;
        }
    }
    return notes;
}

struct Chord {
    int root;
    bool major;
};
const Chord Am{57, false}, F{53, true}, C{48, true}, G{55, true}, Dm{50, false}, E{52, true};

std::vector<int> ChordTones(const Chord& c) { return {c.root, c.root + (c.major ? 4 : 3), c.root + 7}; }

const std::vector<std::string> kThemeA = {
    "E5 - A5 - G5 E5 - D5", "C5 - D5 E5 - - C5 -", "G4 - C5 - E5 - D5 C5", "D5 - - - B4 - G4 -",
    "E5 - A5 - B5 - C6 B5", "A5 - - G5 F5 - E5 -", "E5 - G5 - C6 - B5 A5", "G#5 - - - E5 - B4 -"};
const std::vector<std::string> kThemeB = {
    "F5 - E5 - D5 - A4 -",  "C5 - B4 - A4 - E4 -", "F4 - A4 - C5 - F5 -", "E5 - - - G5 - - -",
    "A5 - G5 F5 - E5 D5 -", "E5 - C5 - A4 - C5 -", "A4 - C5 - F5 - E5 -", "E5 - - - G#4 - B4 -"};
const std::vector<std::string> kCoda = {"E5 - A5 - G5 E5 - D5", "C5 - D5 E5 - - C5 -", "D5 - E5 - F5 - G5 -",
                                        "G#5 - - - B5 - - -"};
const std::vector<std::string> kRest4 = {". . . . . . . .", ". . . . . . . .", ". . . . . . . .",
                                         ". . . . . . . ."};

const std::vector<Chord> kIntroChords = {Am, F, C, G};
const std::vector<Chord> kAChords = {Am, F, C, G, Am, F, C, E};
const std::vector<Chord> kBChords = {Dm, Am, F, C, Dm, Am, F, E};
const std::vector<Chord> kCodaChords = {Am, F, G, E};

// ---- instruments ----------------------------------------------------------------------

struct Song {
    double bpm;
    size_t beat;  // samples per beat
    LoopBuffer mix;
    LoopBuffer send;  // into the echo
    Random noise{0x5EED};
    Song(double bpm_, int bars)
        : bpm(bpm_),
          beat(static_cast<size_t>(std::lround(kRate * 60.0 / bpm_))),
          mix(beat * 4 * bars),
          send(beat * 4 * bars) {}
    size_t Step16(int s) const { return beat * s / 4; }
    double Noise() { return noise.Uniform() * 2 - 1; }
};

void Lead(Song& s, size_t start, double seconds, int midi, double vel, double bright) {
    Osc a, b;
    LowPass lp;
    const double hz = MidiToHz(midi), rel = 0.12;
    const size_t n = static_cast<size_t>((seconds + rel * 4) * kRate);
    Decay sweep(6);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double vib = t > 0.18 ? 1 + 0.004 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, (t - 0.18) * 4) : 1;
        double v = 0.6 * a.Saw(hz * vib) + 0.4 * b.Pulse(hz * 1.004 * vib, 0.5);
        double env = Adsr(t, seconds, 0.006, 0.18, 0.65, rel);
        v = lp.Run(v, (1400 + 3200 * bright * sweep.Next()) * (0.6 + 0.4 * env));
        v *= env * vel;
        s.mix.Add(start + i, v * 0.8, v * 0.8);
        s.send.Add(start + i, v * 0.5, v * 0.5);
    }
}

void Bass(Song& s, size_t start, double seconds, int midi, double vel) {
    Osc a, sub;
    LowPass lp;
    const double hz = MidiToHz(midi);
    const size_t n = static_cast<size_t>((seconds + 0.05) * kRate);
    Decay sweep(14);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double env = Adsr(t, seconds, 0.003, 0.12, 0.55, 0.02);
        double v = 0.55 * a.Pulse(hz, 0.4) + 0.6 * sub.Sine(hz);
        v = lp.Run(v, 300 + 1500 * sweep.Next()) * env * vel;
        s.mix.Add(start + i, v, v);
    }
}

void Pluck(Song& s, size_t start, int midi, double vel, double pan) {
    Osc a;
    LowPass lp;
    const double hz = MidiToHz(midi);
    const size_t n = static_cast<size_t>(0.3 * kRate);
    double gl, gr;
    PanGains(pan, gl, gr);
    Decay amp(16), sweep(20);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double env = amp.Next() * std::min(1.0, t / 0.002);
        double v = lp.Run(a.Pulse(hz, 0.25), 900 + 3500 * sweep.Next()) * env * vel;
        s.mix.Add(start + i, v * gl, v * gr);
        s.send.Add(start + i, v * gl * 0.3, v * gr * 0.3);
    }
}

void Pad(Song& s, size_t start, double seconds, const Chord& c, double vel) {
    for (int tone : ChordTones(c)) {
        Osc a, b;
        LowPass lp;
        const double hz = MidiToHz(tone + 12);
        const size_t n = static_cast<size_t>((seconds + 0.3) * kRate);
        for (size_t i = 0; i < n; ++i) {
            double t = static_cast<double>(i) / kRate;
            double env = Adsr(t, seconds, 0.25, 1.0, 0.8, 0.12);
            double v = lp.Run(0.5 * a.Saw(hz * 0.997) + 0.5 * b.Saw(hz * 1.003), 1100) * env * vel;
            s.mix.Add(start + i, v * 0.9, v * 0.7);
        }
    }
}

void Kick(Song& s, size_t start, double vel) {
    Osc o;
    const size_t n = static_cast<size_t>(0.35 * kRate);
    Decay pitch(30), amp(9);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double hz = 45 + 110 * pitch.Next();
        double v = o.Sine(hz) * amp.Next() * vel;
        if (t < 0.004) v += (s.Noise() * 0.3) * vel * (1 - t / 0.004);
        s.mix.Add(start + i, v, v);
    }
}

void Snare(Song& s, size_t start, double vel) {
    Osc o;
    HighPass hp;
    const size_t n = static_cast<size_t>(0.22 * kRate);
    Decay rattle(18), body(30);
    for (size_t i = 0; i < n; ++i) {
        double v = hp.Run(s.Noise(), 1200) * rattle.Next() * 0.8 + o.Sine(190) * body.Next() * 0.5;
        v *= vel;
        s.mix.Add(start + i, v * 0.95, v);
        s.send.Add(start + i, v * 0.1, v * 0.1);
    }
}

void Hat(Song& s, size_t start, double vel, bool open, double pan) {
    HighPass hp;
    const double len = open ? 0.25 : 0.05;
    const size_t n = static_cast<size_t>(len * kRate);
    double gl, gr;
    PanGains(pan, gl, gr);
    Decay amp(open ? 12 : 50);
    for (size_t i = 0; i < n; ++i) {
        double v = hp.Run(s.Noise(), 7000) * amp.Next() * vel;
        s.mix.Add(start + i, v * gl, v * gr);
    }
}

void Crash(Song& s, size_t start, double vel) {
    HighPass hp;
    const size_t n = static_cast<size_t>(1.6 * kRate);
    Decay amp(2.6);
    for (size_t i = 0; i < n; ++i) {
        double v = hp.Run(s.Noise(), 5000) * amp.Next() * vel;
        s.mix.Add(start + i, v * 0.8, v);
    }
}

// A dotted-eighth echo on the send bus, run twice round the loop so its tail at the end
// carries into the start as it would in an endless play.
void Echo(Song& s, double feedback, double level) {
    const size_t n = s.mix.Frames(), d = s.beat * 3 / 4;
    std::vector<float> l(n, 0.0f), r(n, 0.0f);
    auto& sl = s.send.Left();
    auto& sr = s.send.Right();
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < n; ++i) {
            size_t j = (i + n - d) % n;
            // Ping-pong: each repeat crosses to the other side.
            float nl = sl[i] + static_cast<float>(feedback) * r[j];
            float nr = sr[i] + static_cast<float>(feedback) * l[j];
            l[i] = nl;
            r[i] = nr;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        size_t j = (i + n - d) % n;
        s.mix.Add(i, level * l[j], level * r[j]);
    }
}

// ---- arrangement ----------------------------------------------------------------------

struct Section {
    std::vector<Chord> chords;
    const std::vector<std::string>* melody;
    bool crash;
};

void PlayMelody(Song& s, int bar0, const std::vector<std::string>& bars, double vel, int transpose,
                double bright) {
    for (const Note& n : ParseMelody(bars)) {
        size_t start = static_cast<size_t>(bar0) * 4 * s.beat + n.step * s.beat / 2;
        double seconds = n.length * (60.0 / s.bpm) / 2 - 0.02;
        Lead(s, start, seconds, n.midi + transpose, vel, bright);
    }
}

Sound Finish(Song& s, double echoFeedback, double echoLevel) {
    Echo(s, echoFeedback, echoLevel);
    Sound out{std::move(s.mix.Left()), std::move(s.mix.Right())};
    // A fixed loudness under the effects (the game plays both at the same volume), with the
    // rare peaks where drum hits land together rounded off instead of setting the level.
    double sum = 0;
    for (auto* ch : {&out.left, &out.right})
        for (float v : *ch) sum += double(v) * v;
    const double rms = std::sqrt(sum / (2.0 * out.left.size()));
    const double gain = rms > 0 ? kMusicLoudness / rms : 1.0, knee = 0.5, room = 0.4;
    for (auto* ch : {&out.left, &out.right})
        for (float& v : *ch) {
            double x = v * gain, m = std::fabs(x);
            if (m > knee) x = std::copysign(knee + room * std::tanh((m - knee) / room), x);
            v = static_cast<float>(x);
        }
    // The bass and arpeggio pulses are not square: without this the piece sits off centre.
    RemoveDcConstant(out);
    return out;
}

}  // namespace

Sound ComposeTitleMusic() {
    const std::vector<Section> form = {{kIntroChords, &kRest4, false},
                                       {kAChords, &kThemeA, true},
                                       {kBChords, &kThemeB, true},
                                       {kCodaChords, &kCoda, false}};
    Song s(140, 24);
    int bar = 0;
    for (const Section& sec : form) {
        PlayMelody(s, bar, *sec.melody, 0.9, 0, 0.6);
        if (sec.crash) Crash(s, bar * 4 * s.beat, 0.3);
        for (size_t b = 0; b < sec.chords.size(); ++b, ++bar) {
            const Chord& c = sec.chords[b];
            const size_t b0 = static_cast<size_t>(bar) * 4 * s.beat;
            Pad(s, b0, 4 * 60.0 / s.bpm - 0.05, c, 0.2);
            // Bass in eighths: root, root, octave, root...
            const int bassPat[8] = {0, 0, 12, 0, 0, 7, 12, 0};
            for (int e = 0; e < 8; ++e)
                Bass(s, b0 + e * s.beat / 2, 60.0 / s.bpm / 2 - 0.03, c.root - 12 + bassPat[e], 0.22);
            // Arpeggio in eighths, alternating sides.
            std::vector<int> tones = ChordTones(c);
            const int arp[8] = {0, 1, 2, 1, 0, 1, 2, 1};
            for (int e = 0; e < 8; ++e)
                Pluck(s, b0 + e * s.beat / 2, tones[arp[e]] + (e >= 4 ? 24 : 12), 0.3, e % 2 ? 0.5 : -0.5);
            // Drums on a sixteenth grid.
            const bool lastOfSection = b + 1 == sec.chords.size();
            for (int st = 0; st < 16; ++st) {
                size_t t = b0 + s.Step16(st);
                if (st == 0 || st == 6 || st == 8) Kick(s, t, 0.7);
                if (st == 4 || st == 12) Snare(s, t, 0.8);
                if (lastOfSection && st >= 13) Snare(s, t, 0.4 + 0.12 * (st - 13));
                if (st % 2 == 0) Hat(s, t, st == 14 ? 0.45 : (st % 4 ? 0.7 : 0.45), st == 14, 0.3);
            }
        }
    }
    return Finish(s, 0.38, 0.3);
}

Sound ComposeGameMusic() {
    const std::vector<Section> form = {{kIntroChords, &kRest4, false},
                                       {kAChords, &kThemeA, true},
                                       {kBChords, &kThemeB, true},
                                       {kAChords, &kThemeA, true},
                                       {kCodaChords, &kCoda, false}};
    Song s(168, 32);
    int bar = 0;
    int sectionIndex = 0;
    for (const Section& sec : form) {
        PlayMelody(s, bar, *sec.melody, 0.85, 0, 0.9);
        if (sectionIndex == 3) PlayMelody(s, bar, *sec.melody, 0.4, -12, 0.4);  // doubled below
        if (sec.crash) Crash(s, bar * 4 * s.beat, 0.35);
        for (size_t b = 0; b < sec.chords.size(); ++b, ++bar) {
            const Chord& c = sec.chords[b];
            const size_t b0 = static_cast<size_t>(bar) * 4 * s.beat;
            // Driving sixteenth bass with octave jumps.
            const int bassPat[16] = {0, 0, 12, 0, 0, 12, 0, 7, 0, 0, 12, 0, 0, 12, 7, 12};
            for (int st = 0; st < 16; ++st)
                Bass(s, b0 + s.Step16(st), 60.0 / s.bpm / 4 - 0.015, c.root - 12 + bassPat[st], 0.2);
            // Sixteenth arpeggio over two octaves.
            std::vector<int> tones = ChordTones(c);
            const int arp[8] = {0, 1, 2, 3, 4, 3, 2, 1};
            for (int st = 0; st < 16; ++st) {
                int k = arp[st % 8];
                int midi = tones[k % 3] + 12 * (k / 3) + 12;
                Pluck(s, b0 + s.Step16(st), midi, 0.24, st % 2 ? 0.6 : -0.6);
            }
            const bool lastOfSection = b + 1 == sec.chords.size();
            for (int st = 0; st < 16; ++st) {
                size_t t = b0 + s.Step16(st);
                if (st % 4 == 0) Kick(s, t, 0.75);
                if (st == 4 || st == 12) Snare(s, t, 0.8);
                if (st == 15 || st == 7) Snare(s, t, 0.2);  // ghost notes
                if (lastOfSection && st >= 8) Snare(s, t, 0.3 + 0.06 * (st - 8));
                Hat(s, t, st % 2 ? 0.6 : 0.36, st % 8 == 6, st % 2 ? 0.4 : -0.2);
            }
        }
        ++sectionIndex;
    }
    return Finish(s, 0.32, 0.25);
}

}  // namespace gx::audio
