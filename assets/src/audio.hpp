// Sound: a small synthesiser, the two music pieces, the five effects and the Ogg Vorbis
// writer. Everything is computed from fixed seeds, so every build gives the same samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gx::audio {

constexpr int kRate = 44100;

// Sample buffers, -1..1. A mono sound leaves `right` empty.
struct Sound {
    std::vector<float> left, right;
    size_t Frames() const { return left.size(); }
    int Channels() const { return right.empty() ? 1 : 2; }
};

// Music: loops end to end (the last sample leads into the first without a click).
Sound ComposeTitleMusic();  // minor key, 140 beats a minute, 24 bars
Sound ComposeGameMusic();   // the same theme at 168, busier, 32 bars

// Effects, each starting at its first sample.
Sound MakeShot();       // a short rising whoosh
Sound MakeHit();        // a metallic clank
Sound MakeStep();       // a soft thud
Sound MakeLevelUp();    // a bright rising arpeggio
Sound MakeLevelDown();  // a falling tone

// Encodes as Ogg Vorbis with a fixed stream serial number. Throws naming the file.
void WriteOgg(const Sound& sound, const std::string& path, int serial, float quality);

}  // namespace gx::audio
