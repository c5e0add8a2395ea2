// Thin classes over the engine's media handles, the sound clip that tolerates a missing file,
// the frame step and counter, and the debug log.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "brisel.h"

namespace grappix {

// A texture. Only LoadTex and Font::MakeTex make a live one; a default Tex is empty (no
// texture yet). Copies share the handle; the last copy released frees it in the engine.
class Tex {
public:
    Tex() = default;

    double Width() const;   // GetTexW
    double Height() const;  // GetTexH

    // Source rectangle drawn at (dstX, dstY) at its own size.
    void Draw(double srcX, double srcY, double srcW, double srcH, double dstX, double dstY, double r,
              double g, double b, double a) const;
    // Source rectangle stretched into the destination rectangle.
    void DrawScale(double srcX, double srcY, double srcW, double srcH, double dstX, double dstY, double dstW,
                   double dstH, double r, double g, double b, double a) const;
    // As DrawScale, turned by angle (radians) about (centreX, centreY), relative to the
    // destination's top-left corner. A negative srcH draws the source upside down.
    void DrawRot(double srcX, double srcY, double srcW, double srcH, double dstX, double dstY, double dstW,
                 double dstH, double centreX, double centreY, double angle, double r, double g, double b,
                 double a) const;

    bool IsLoaded() const { return handle_ != nullptr; }  // holds a texture
    BriselTex* Handle() const { return handle_.get(); }

private:
    friend Tex LoadTex(const std::string& path);
    friend class Font;
    explicit Tex(BriselTex* handle);
    std::shared_ptr<BriselTex> handle_;
};

// A TrueType font, made by LoadFont.
class Font {
public:
    Font() = default;
    // A new texture holding text rendered at `size` pixels; n is the outline thickness.
    Tex MakeTex(int64_t size, const std::string& text, int64_t n) const;
    bool IsLoaded() const { return handle_ != nullptr; }

private:
    friend Font LoadFont(const std::string& path);
    explicit Font(BriselFont* handle);
    std::shared_ptr<BriselFont> handle_;
};

// A sound. Releasing the last copy frees it in the engine, which also stops it.
// The two kinds of sound, each with a volume of the player's: the looping music pieces, and
// every other sound.
enum class SoundGroup { Effects = BRISEL_SOUND_EFFECTS, Music = BRISEL_SOUND_MUSIC };

class Snd {
public:
    Snd() = default;
    void Play(bool loop) const;  // from the start
    void Stop() const;
    void Volume(double v) const;         // 0..1, before the group's volume
    void Group(SoundGroup group) const;  // effects unless told; nothing on an engine without groups
    bool IsLoaded() const { return handle_ != nullptr; }
    BriselSnd* Handle() const { return handle_.get(); }

private:
    friend Snd LoadSnd(const std::string& path);
    explicit Snd(BriselSnd* handle);
    std::shared_ptr<BriselSnd> handle_;
};

// Loaders: the engine raises a failure for a file it cannot load.
Tex LoadTex(const std::string& path);
Font LoadFont(const std::string& path);
Snd LoadSnd(const std::string& path);

// A sound loaded once with its volume and loop flag. A file that fails to load leaves the
// clip silent: Play then does nothing, and the game goes on. A looping clip is music: the
// player's music volume scales it; every other clip is an effect.
class SoundClip {
public:
    void Load(const std::string& path, double volume, bool loop);
    void Play();  // restarts the sound from the beginning (stop, then play)

    bool IsLoaded() const { return loaded; }
    bool Loops() const { return loop; }
    const Snd& Sound() const { return snd; }

private:
    Snd snd;
    bool loaded = false;
    bool loop = false;
};

// Frame step: the frame counter goes up by one, then the engine shows the frame drawn since
// the last step, refreshes input and paces the loop; then the keys of every screen (mute,
// quit) take effect.
void NextFrame();

// Ends the run as closing the window does (status 0): raises the engine's quit failure.
[[noreturn]] void Quit();
int64_t FrameCount();           // frame steps since start-up
void SetFrameCount(int64_t n);  // start-up sets 0; tests set what they need

// The system pointer over the window: hidden during play, where the aim marker shows where
// it points; shown on every menu. Nothing on an engine that cannot hide it.
void ShowPointer(bool show);

// A blended filled rectangle in screen pixels.
void DrawRect(double x, double y, double w, double h, double r, double g, double b, double a);

// The debug log: dropped unless the engine is asked to show it (BRISEL_DEBUG=1).
void DebugLog(const std::string& text);

}  // namespace grappix
