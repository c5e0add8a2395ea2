#include "fake/fake_engine.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <type_traits>

#include "frame/fault.hpp"
#include "frame/media.hpp"

namespace grappix::test {

namespace {

FakeEngine* gCurrent = nullptr;

bool IsMaths(std::string_view name) {
    static const char* const kMaths[] = {"Cos", "Sin", "Tan",  "ACos", "ASin",  "ATan", "Sqrt",   "Exp",
                                         "Log", "Pow", "PowI", "Mod",  "Floor", "Ceil", "InvRot", "Hypot"};
    return std::any_of(std::begin(kMaths), std::end(kMaths), [&](const char* m) { return name == m; });
}

template <typename T>
void AddArg(Call& call, T value) {
    if constexpr (std::is_same_v<T, const char*>) {
        if (call.text.empty() && value != nullptr) call.text = value;
    } else if constexpr (std::is_pointer_v<T> && !std::is_function_v<std::remove_pointer_t<T>>) {
        if (call.file.empty() && value != nullptr) call.file = gCurrent->FileOf(value);
    } else if constexpr (std::is_arithmetic_v<T>) {
        call.args.push_back(static_cast<double>(value));
    }
}

// A compile-time string, so that one recording function can be stamped out per entry point.
template <size_t N>
struct Name {
    char text[N];
    constexpr Name(const char (&s)[N]) { std::copy_n(s, N, text); }
};

template <Name name, typename F>
struct Recorder;

template <Name name, typename R, typename... A>
struct Recorder<name, R (*)(A...)> {
    static void Record(A... a) {
        if (gCurrent == nullptr) return;
        if (!gCurrent->recordMaths && IsMaths(name.text)) return;
        Call call;
        call.name = name.text;
        (AddArg(call, a), ...);
        gCurrent->calls.push_back(std::move(call));
    }
    // The default behaviour: record and answer zero.
    static R Fn(A... a) {
        Record(a...);
        if constexpr (!std::is_void_v<R>) return R{};
    }
};

#define REC(name) Recorder<#name, decltype(EngineTable::name)>

[[noreturn]] void RaiseFailure(int32_t code, const std::string& text) {
    if (ExceptionPlace() == 0) ExceptionPlace() = gCurrent->failurePlace;
    throw BriselFailure(static_cast<uint32_t>(code), text.c_str());
}

// ---- entry points with behaviour of their own -------------------------------------------

int64_t FakeAct() {
    REC(Act)::Record();
    gCurrent->actCount += 1;
    if (gCurrent->onAct) gCurrent->onAct(gCurrent->actCount);
    return 0;
}

void FakeFreeMem(void* block) {
    REC(FreeMem)::Record(block);
    if (block != nullptr) {
        gCurrent->released.insert(block);
        gCurrent->files.erase(block);
    }
    if (gCurrent->failFree) RaiseFailure(BRISEL_FAIL_SYSTEM, "FreeMem: failing as asked");
}

void* FakeAllocMem(int64_t size) {
    REC(AllocMem)::Record(size);
    return std::calloc(1, static_cast<size_t>(std::max<int64_t>(size, 1)));
}

template <typename H>
H* LoadHandle(const char* path) {
    std::string file = path != nullptr ? path : "";
    if (gCurrent->failing.count(file) != 0) {
        RaiseFailure(BRISEL_FAIL_LOAD, file + ": cannot be loaded");
    }
    return static_cast<H*>(const_cast<void*>(gCurrent->NewHandle(file)));
}

BriselTex* FakeLoadTex(const char* path) {
    REC(LoadTex)::Record(path);
    return LoadHandle<BriselTex>(path);
}
BriselFont* FakeLoadFont(const char* path) {
    REC(LoadFont)::Record(path);
    return LoadHandle<BriselFont>(path);
}
BriselSnd* FakeLoadSnd(const char* path) {
    REC(LoadSnd)::Record(path);
    return LoadHandle<BriselSnd>(path);
}
BriselTex* FakeMakeFontTex(BriselFont* font, int64_t size, const char* text, int64_t n) {
    REC(MakeFontTex)::Record(font, size, text, n);
    return static_cast<BriselTex*>(
        const_cast<void*>(gCurrent->NewHandle(std::string("text:") + (text ? text : ""))));
}

double TexDim(BriselTex* tex, int which) {
    auto it = gCurrent->texSize.find(gCurrent->FileOf(tex));
    if (it == gCurrent->texSize.end()) return 256.0;
    return which == 0 ? it->second.first : it->second.second;
}
double FakeGetTexW(BriselTex* tex) {
    REC(GetTexW)::Record(tex);
    return TexDim(tex, 0);
}
double FakeGetTexH(BriselTex* tex) {
    REC(GetTexH)::Record(tex);
    return TexDim(tex, 1);
}

int64_t FakeMouse(int64_t button) {
    REC(Mouse)::Record(button);
    auto it = gCurrent->mouse.find(button);
    return it == gCurrent->mouse.end() ? 0 : it->second;
}
int64_t FakePad(int64_t p, int64_t button) {
    REC(Pad)::Record(p, button);
    if (p != 0) return 0;
    auto it = gCurrent->pad.find(button);
    return it == gCurrent->pad.end() ? 0 : it->second;
}
double FakeMouseX() {
    REC(MouseX)::Record();
    return gCurrent->cursorX;
}
double FakeMouseY() {
    REC(MouseY)::Record();
    return gCurrent->cursorY;
}

int64_t FakeRnd(int64_t min, int64_t max) {
    REC(Rnd)::Record(min, max);
    if (gCurrent->rnd.empty()) return min;
    int64_t v = gCurrent->rnd.front();
    gCurrent->rnd.pop_front();
    return v;
}

const char* FakeIToS(int64_t v, int64_t minDigits) {
    REC(IToS)::Record(v, minDigits);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%0*lld", static_cast<int>(std::clamp<int64_t>(minDigits, 0, 40)),
                  static_cast<long long>(v));
    gCurrent->lastString = buf;
    return gCurrent->lastString.c_str();
}

void FakeDbgLog(const char* text) { REC(DbgLog)::Record(text); }

// ---- the extensions -------------------------------------------------------------------------

const char* FakeEngineVersion() {
    REC(EngineVersion)::Record();
    return "Fake engine 0";
}
int64_t FakeKey(int64_t key) {
    REC(Key)::Record(key);
    auto it = gCurrent->keys.find(key);
    return it == gCurrent->keys.end() ? 0 : it->second;
}
int64_t FakeWindowState(int64_t which) {
    REC(WindowState)::Record(which);
    auto it = gCurrent->window.find(which);
    return it == gCurrent->window.end() ? 0 : it->second;
}
void FakeSetGroupVolume(int64_t group, double volume) {
    REC(SetGroupVolume)::Record(group, volume);
    gCurrent->groupVolume[group] = volume;
}
double FakeGetGroupVolume(int64_t group) {
    REC(GetGroupVolume)::Record(group);
    auto it = gCurrent->groupVolume.find(group);
    return it == gCurrent->groupVolume.end() ? 1.0 : it->second;
}
void FakeSetMute(bool mute) {
    REC(SetMute)::Record(mute);
    gCurrent->muted = mute;
}
bool FakeGetMute() {
    REC(GetMute)::Record();
    return gCurrent->muted;
}
void FakeSetFullscreen(bool on) {
    REC(SetFullscreen)::Record(on);
    gCurrent->fullscreen = on;
}
bool FakeGetFullscreen() {
    REC(GetFullscreen)::Record();
    return gCurrent->fullscreen;
}
void FakeSetWindowSize(int64_t w, int64_t h) {
    REC(SetWindowSize)::Record(w, h);
    gCurrent->windowW = w;
    gCurrent->windowH = h;
}
void FakeGetWindowSize(int64_t* w, int64_t* h) {
    REC(GetWindowSize)::Record(w, h);
    if (w != nullptr) *w = gCurrent->windowW;
    if (h != nullptr) *h = gCurrent->windowH;
}
double FakePadAxis(int64_t axis) {
    REC(PadAxis)::Record(axis);
    auto it = gCurrent->axes.find(axis);
    return it == gCurrent->axes.end() ? 0.0 : it->second;
}
int64_t FakeLastDevice() {
    REC(LastDevice)::Record();
    return gCurrent->lastDevice;
}

void FakeSetReplayNote(const char* key, const char* value) {
    REC(SetReplayNote)::Record(key, value);
    gCurrent->notes[key != nullptr ? key : ""] = value != nullptr ? value : "";
}
const char* FakeGetReplayNote(const char* key) {
    REC(GetReplayNote)::Record(key);
    if (!gCurrent->replaying || key == nullptr) return nullptr;
    auto it = gCurrent->replayNotes.find(key);
    return it == gCurrent->replayNotes.end() ? nullptr : it->second.c_str();
}
bool FakeReplaying() {
    REC(Replaying)::Record();
    return gCurrent->replaying;
}
const char* FakeRecordingFile() {
    REC(RecordingFile)::Record();
    return gCurrent->recordingFile.c_str();
}
int64_t FakeStepNumber() {
    REC(StepNumber)::Record();
    return gCurrent->actCount;
}
int64_t FakeSealReplay() {
    REC(SealReplay)::Record();
    return gCurrent->recordingFile.empty() ? -1 : gCurrent->actCount;
}
int64_t FakeMouseWheel() {
    REC(MouseWheel)::Record();
    return gCurrent->wheel;
}
int64_t FakeRestartScenes() {  // the first call marks the loop's start; later ones restart at step 0
    REC(RestartScenes)::Record();
    if (gCurrent->sceneStarts++ == 0) return 0;
    gCurrent->actCount = 0;
    return gCurrent->sceneStarts - 1;
}

int64_t FakeControllerButton(int64_t button) {
    REC(ControllerButton)::Record(button);
    auto it = gCurrent->buttons.find(button);
    return it == gCurrent->buttons.end() ? 0 : it->second;
}
void FakeBindPadButton(int64_t device, int64_t button, int64_t code) {
    REC(BindPadButton)::Record(device, button, code);
    gCurrent->bound[{device, button}] = code;
}
void FakeBeginTextInput(const char* text, int64_t maxBytes) {
    REC(BeginTextInput)::Record(text, maxBytes);
    gCurrent->typed = text != nullptr ? text : "";
}
const char* FakeTypedText() {
    REC(TypedText)::Record();
    return gCurrent->typed.c_str();
}
int64_t FakeHttpStart(const char* url, const char* fields, const char* fileField, const char* file) {
    REC(HttpStart)::Record(url, fields, fileField, file);
    gCurrent->httpRequests.emplace_back(url != nullptr ? url : "", fields != nullptr ? fields : "");
    return static_cast<int64_t>(gCurrent->httpRequests.size());
}
const std::pair<int64_t, std::string>* FakeAnswer(int64_t request) {
    if (request < 1 || request > static_cast<int64_t>(gCurrent->httpRequests.size())) return nullptr;
    auto it = gCurrent->httpAnswers.find(gCurrent->httpRequests[static_cast<size_t>(request - 1)].first);
    return it == gCurrent->httpAnswers.end() ? nullptr : &it->second;
}
int64_t FakeHttpStatus(int64_t request) {
    REC(HttpStatus)::Record(request);
    const auto* answer = FakeAnswer(request);
    return answer != nullptr ? answer->first : -1;
}
const char* FakeHttpBody(int64_t request) {
    REC(HttpBody)::Record(request);
    const auto* answer = FakeAnswer(request);
    return answer != nullptr ? answer->second.c_str() : "no answer";
}

#define MATHS1(name, fn)          \
    double Fake##name(double x) { \
        REC(name)::Record(x);     \
        return fn(x);             \
    }
MATHS1(Cos, std::cos)
MATHS1(Sin, std::sin)
MATHS1(Tan, std::tan)
MATHS1(ACos, std::acos)
MATHS1(ASin, std::asin)
MATHS1(ATan, std::atan)
MATHS1(Sqrt, std::sqrt)
MATHS1(Exp, std::exp)
MATHS1(Log, std::log)
MATHS1(Floor, std::floor)
MATHS1(Ceil, std::ceil)
#undef MATHS1

double FakePow(double x, double y) {
    REC(Pow)::Record(x, y);
    return std::pow(x, y);
}
double FakeMod(double x, double y) {
    REC(Mod)::Record(x, y);
    return std::fmod(x, y);
}
double FakeHypot(double x, double y) {
    REC(Hypot)::Record(x, y);
    return std::hypot(x, y);
}
double FakeInvRot(double x, double y) {
    REC(InvRot)::Record(x, y);
    return std::atan2(y, x);
}

}  // namespace

FakeEngine::FakeEngine() {
    gCurrent = this;
    EngineTable& t = Engine();
#define GRAPPIX_FAKE_DEFAULT(ret, name, params) t.name = &REC(name)::Fn;
    BRISEL_ENTRY_POINTS(GRAPPIX_FAKE_DEFAULT)
    BRISEL_EXTENSIONS(GRAPPIX_FAKE_DEFAULT)
#undef GRAPPIX_FAKE_DEFAULT
    t.Act = &FakeAct;
    t.FreeMem = &FakeFreeMem;
    t.AllocMem = &FakeAllocMem;
    t.LoadTex = &FakeLoadTex;
    t.LoadFont = &FakeLoadFont;
    t.LoadSnd = &FakeLoadSnd;
    t.MakeFontTex = &FakeMakeFontTex;
    t.GetTexW = &FakeGetTexW;
    t.GetTexH = &FakeGetTexH;
    t.Mouse = &FakeMouse;
    t.Pad = &FakePad;
    t.MouseX = &FakeMouseX;
    t.MouseY = &FakeMouseY;
    t.Rnd = &FakeRnd;
    t.IToS = &FakeIToS;
    t.DbgLog = &FakeDbgLog;
    t.Cos = &FakeCos;
    t.Sin = &FakeSin;
    t.Tan = &FakeTan;
    t.ACos = &FakeACos;
    t.ASin = &FakeASin;
    t.ATan = &FakeATan;
    t.Sqrt = &FakeSqrt;
    t.Exp = &FakeExp;
    t.Log = &FakeLog;
    t.Floor = &FakeFloor;
    t.Ceil = &FakeCeil;
    t.Pow = &FakePow;
    t.Mod = &FakeMod;
    t.Hypot = &FakeHypot;
    t.InvRot = &FakeInvRot;
    t.EngineVersion = &FakeEngineVersion;
    t.Key = &FakeKey;
    t.WindowState = &FakeWindowState;
    t.SetGroupVolume = &FakeSetGroupVolume;
    t.GetGroupVolume = &FakeGetGroupVolume;
    t.SetMute = &FakeSetMute;
    t.GetMute = &FakeGetMute;
    t.SetFullscreen = &FakeSetFullscreen;
    t.GetFullscreen = &FakeGetFullscreen;
    t.SetWindowSize = &FakeSetWindowSize;
    t.GetWindowSize = &FakeGetWindowSize;
    t.PadAxis = &FakePadAxis;
    t.LastDevice = &FakeLastDevice;
    t.SetReplayNote = &FakeSetReplayNote;
    t.GetReplayNote = &FakeGetReplayNote;
    t.Replaying = &FakeReplaying;
    t.RecordingFile = &FakeRecordingFile;
    t.StepNumber = &FakeStepNumber;
    t.SealReplay = &FakeSealReplay;
    t.MouseWheel = &FakeMouseWheel;
    t.RestartScenes = &FakeRestartScenes;
    t.ControllerButton = &FakeControllerButton;
    t.BindPadButton = &FakeBindPadButton;
    t.BeginTextInput = &FakeBeginTextInput;
    t.TypedText = &FakeTypedText;
    t.HttpStart = &FakeHttpStart;
    t.HttpStatus = &FakeHttpStatus;
    t.HttpBody = &FakeHttpBody;
    SetFrameCount(0);
    ExceptionPlace() = 0;
}

void FakeEngine::RemoveExtensions() {
    EngineTable& t = Engine();
#define GRAPPIX_FAKE_REMOVE(ret, name, params) t.name = nullptr;
    BRISEL_EXTENSIONS(GRAPPIX_FAKE_REMOVE)
#undef GRAPPIX_FAKE_REMOVE
}

FakeEngine::~FakeEngine() {
    Engine() = EngineTable{};
    gCurrent = nullptr;
    ExceptionPlace() = 0;
}

FakeEngine* FakeEngine::Current() { return gCurrent; }

std::vector<Call> FakeEngine::Named(const std::string& name) const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.name == name) out.push_back(c);
    return out;
}

std::vector<std::string> FakeEngine::Log() const {
    std::vector<std::string> out;
    for (const Call& c : calls)
        if (c.name == "DbgLog") out.push_back(c.text);
    return out;
}

const void* FakeEngine::NewHandle(const std::string& file) {
    const void* h = reinterpret_cast<const void*>(static_cast<uintptr_t>(nextHandle));
    nextHandle += 16;
    files[h] = file;
    return h;
}

std::string FakeEngine::FileOf(const void* handle) const {
    auto it = files.find(handle);
    return it == files.end() ? std::string() : it->second;
}

}  // namespace grappix::test
