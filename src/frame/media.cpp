#include "frame/media.hpp"

#include "frame/board_link.hpp"
#include "frame/engine.hpp"
#include "frame/fault.hpp"
#include "frame/session.hpp"

namespace grappix {

namespace {

// Handles go back to the engine when the last holder lets go. The release may happen while a
// failure unwinds the stack, so it must never raise in turn. A failure it swallows ends here,
// and so does the place it recorded: the exception place is left as it was before, empty or
// holding the place of the failure that is unwinding.
void ReleaseHandle(void* handle) {
    if (handle == nullptr || Engine().FreeMem == nullptr) return;
    const uintptr_t place = ExceptionPlace();
    try {
        Engine().FreeMem(handle);
    } catch (...) {
        ExceptionPlace() = place;
    }
}

int64_t gFrameCount = 0;

}  // namespace

Tex::Tex(BriselTex* handle) : handle_(handle, [](BriselTex* h) { ReleaseHandle(h); }) {}

double Tex::Width() const { return Engine().GetTexW(handle_.get()); }
double Tex::Height() const { return Engine().GetTexH(handle_.get()); }

void Tex::Draw(double srcX, double srcY, double srcW, double srcH, double dstX, double dstY, double r,
               double g, double b, double a) const {
    Engine().DrawTex(handle_.get(), srcX, srcY, srcW, srcH, dstX, dstY, srcW, srcH, r, g, b, a);
}

void Tex::DrawScale(double srcX, double srcY, double srcW, double srcH, double dstX, double dstY, double dstW,
                    double dstH, double r, double g, double b, double a) const {
    Engine().DrawTex(handle_.get(), srcX, srcY, srcW, srcH, dstX, dstY, dstW, dstH, r, g, b, a);
}

void Tex::DrawRot(double srcX, double srcY, double srcW, double srcH, double dstX, double dstY, double dstW,
                  double dstH, double centreX, double centreY, double angle, double r, double g, double b,
                  double a) const {
    Engine().DrawTexRot(handle_.get(), srcX, srcY, srcW, srcH, dstX, dstY, dstW, dstH, centreX, centreY,
                        angle, r, g, b, a);
}

Font::Font(BriselFont* handle) : handle_(handle, [](BriselFont* h) { ReleaseHandle(h); }) {}

Tex Font::MakeTex(int64_t size, const std::string& text, int64_t n) const {
    return Tex(Engine().MakeFontTex(handle_.get(), size, text.c_str(), n));
}

Snd::Snd(BriselSnd* handle) : handle_(handle, [](BriselSnd* h) { ReleaseHandle(h); }) {}

void Snd::Play(bool loop) const { Engine().PlaySnd(handle_.get(), 0.0, loop, 0.0); }
void Snd::Stop() const { Engine().StopSnd(handle_.get()); }
void Snd::Volume(double v) const { Engine().VolumeSnd(handle_.get(), v); }
void Snd::Group(SoundGroup group) const {
    if (Engine().SetSndGroup != nullptr) Engine().SetSndGroup(handle_.get(), static_cast<int64_t>(group));
}

Tex LoadTex(const std::string& path) { return Tex(Engine().LoadTex(path.c_str())); }
Font LoadFont(const std::string& path) { return Font(Engine().LoadFont(path.c_str())); }
Snd LoadSnd(const std::string& path) { return Snd(Engine().LoadSnd(path.c_str())); }

void SoundClip::Load(const std::string& path, double volume, bool loopOn) {
    // A sound is a nicety: whatever goes wrong while loading it, the game plays on without it.
    // The failure ends here, and the place it recorded with it, so that the next failure is
    // reported where it was raised, not here.
    const uintptr_t place = ExceptionPlace();
    try {
        snd = LoadSnd(path);
        snd.Volume(volume);
        if (loopOn) snd.Group(SoundGroup::Music);
        loop = loopOn;
        loaded = true;
        DebugLog("SoundLoad:" + path);
    } catch (...) {
        ExceptionPlace() = place;
        loaded = false;
        DebugLog("SoundLoadFail:" + path);
    }
}

void SoundClip::Play() {
    if (!loaded) return;
    snd.Stop();
    snd.Play(loop);
}

void NextFrame() {
    CheckFloatingPoint();
    gFrameCount += 1;
    if (Session* session = ActiveSession()) session->DrawMarks();
    Engine().Act();
    if (Session* session = ActiveSession()) {
        session->AfterFrameStep();
        if (BoardLink* board = ActiveBoard()) board->Pump(session->Current());
    }
}

void Quit() {
    Engine().Exit();  // raises the quit failure; an engine that only notes it is raised for here
    Raise(BRISEL_FAIL_QUIT, "the player quit");
}

int64_t FrameCount() { return gFrameCount; }
void SetFrameCount(int64_t n) { gFrameCount = n; }

void ShowPointer(bool show) {
    if (Engine().ShowPointer != nullptr) Engine().ShowPointer(show);
}

void DrawRect(double x, double y, double w, double h, double r, double g, double b, double a) {
    Engine().DrawRect(x, y, w, h, r, g, b, a);
}

void DebugLog(const std::string& text) {
    if (Engine().DbgLog != nullptr) Engine().DbgLog(text.c_str());
}

}  // namespace grappix
