// basics.cpp -- memory, random numbers, maths, strings, sorting and hashing, and the entry
// points this build does not provide (files and streams, save data, 3D).

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstring>

#include "engine.hpp"
#include "portable_maths.hpp"

using namespace brisel;

namespace {

BriselRng* LiveRng(BriselRng* rng, const char* entry) {
    if (!IsLive(rng, Kind::Rng))
        Raise(BRISEL_FAIL_ARGUMENT, std::string(entry) + ": not a live random generator");
    return rng;
}

const char* Keep(std::string text) {
    E().stringBuffer = std::move(text);
    return E().stringBuffer.c_str();
}

template <class T>
int64_t Compare(const void* a, const void* b) {
    T x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return x < y ? -1 : (y < x ? 1 : 0);
}

void CheckArray(const void* base, int64_t count, int64_t size, const char* entry) {
    if (count < 0 || size <= 0 || (count > 0 && base == nullptr) || (count > 0 && size > INT64_MAX / count))
        Raise(BRISEL_FAIL_ARGUMENT, std::string(entry) + ": bad array (count " + std::to_string(count) +
                                        ", element size " + std::to_string(size) + ")");
}

}  // namespace

extern "C" {

// ---- memory -----------------------------------------------------------------------------

void* AllocMem(int64_t size) {
    BRISEL_ENTRY;
    if (size < 0) Raise(BRISEL_FAIL_ARGUMENT, "AllocMem: negative size " + std::to_string(size));
    void* block = std::calloc(1, size_t(std::max<int64_t>(size, 1)));
    if (block == nullptr)
        Raise(BRISEL_FAIL_SYSTEM, "AllocMem: out of memory (" + std::to_string(size) + " bytes)");
    Register(block, Kind::Block);
    return block;
}

void FreeMem(void* block) {
    BRISEL_ENTRY;
    if (block == nullptr) return;
    auto it = E().handles.find(block);
    if (it == E().handles.end())
        Raise(BRISEL_FAIL_ARGUMENT, "FreeMem: not a block or handle of this engine (already released?)");
    switch (it->second) {
    case Kind::Block:
        Unregister(block);
        std::free(block);
        break;
    case Kind::Tex: ReleaseTex(static_cast<BriselTex*>(block)); break;
    case Kind::Font: ReleaseFont(static_cast<BriselFont*>(block)); break;
    case Kind::Snd: ReleaseSnd(static_cast<BriselSnd*>(block)); break;
    case Kind::Rng:
        Unregister(block);
        delete static_cast<BriselRng*>(block);
        break;
    }
}

// ---- random numbers -----------------------------------------------------------------------

int64_t Rnd(int64_t min, int64_t max) {
    BRISEL_ENTRY;
    return MainRng().Range(min, max);
}

double RndF(double min, double max) {
    BRISEL_ENTRY;
    return MainRng().RangeF(min, max);
}

BriselRng* MakeRndSeed(int64_t seed) {
    BRISEL_ENTRY;
    auto* rng = new BriselRng{Rng(uint64_t(seed))};
    Register(rng, Kind::Rng);
    return rng;
}

int64_t GetRnd(BriselRng* rng, int64_t min, int64_t max) {
    BRISEL_ENTRY;
    return LiveRng(rng, "GetRnd")->rng.Range(min, max);
}

double GetRndF(BriselRng* rng, double min, double max) {
    BRISEL_ENTRY;
    return LiveRng(rng, "GetRndF")->rng.RangeF(min, max);
}

int64_t MakeHash(const void* data, int64_t size) {
    BRISEL_ENTRY;
    if (size < 0 || (size > 0 && data == nullptr)) Raise(BRISEL_FAIL_ARGUMENT, "MakeHash: bad data");
    uint64_t h = 0xCBF29CE484222325ull;
    const auto* p = static_cast<const uint8_t*>(data);
    for (int64_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 0x100000001B3ull;
    }
    return int64_t(h);
}

// ---- maths ----------------------------------------------------------------------------------
// Sin, Cos, Tan, ATan, InvRot (and Rot through them), Hypot, Mod and the square are the engine's own
// (portable_maths.hpp), the same bits on every build; the circular ones need round to nearest, which
// the entry guard sets. ACos, ASin, Exp, Log and the other powers are still the C library's: play
// does not use them. Sqrt, Floor and Ceil are exact everywhere.

double Cos(double a) {
    BRISEL_ENTRY;
    return portable::Cos(a);
}
double Sin(double a) {
    BRISEL_ENTRY;
    return portable::Sin(a);
}
double Tan(double a) {
    BRISEL_ENTRY;
    return portable::Tan(a);
}
double ACos(double x) {
    BRISEL_ENTRY;
    return std::acos(x);
}
double ASin(double x) {
    BRISEL_ENTRY;
    return std::asin(x);
}
double ATan(double x) {
    BRISEL_ENTRY;
    return portable::ATan(x);
}
double Sqrt(double x) {
    BRISEL_ENTRY;
    return std::sqrt(x);
}
double Exp(double x) {
    BRISEL_ENTRY;
    return std::exp(x);
}
double Log(double x) {
    BRISEL_ENTRY;
    return std::log(x);
}
double Pow(double x, double y) {
    BRISEL_ENTRY;
    return portable::Pow(x, y);
}
double Mod(double x, double y) {
    BRISEL_ENTRY;
    return portable::Mod(x, y);
}
double Floor(double x) {
    BRISEL_ENTRY;
    return std::floor(x);
}
double Ceil(double x) {
    BRISEL_ENTRY;
    return std::ceil(x);
}
double InvRot(double x, double y) {
    BRISEL_ENTRY;
    return portable::ATan2(y, x);
}
double Hypot(double x, double y) {
    BRISEL_ENTRY;
    return portable::Hypot(x, y);
}

int64_t PowI(int64_t x, int64_t y) {
    BRISEL_ENTRY;
    if (y < 0) {
        // Whole-number results only: 1 / x^|y| truncates to 0 unless |x| is 1.
        if (x == 0) Raise(BRISEL_FAIL_ARGUMENT, "PowI: 0 to a negative power");
        if (x == 1) return 1;
        if (x == -1) return (y % 2 == 0) ? 1 : -1;
        return 0;
    }
    uint64_t result = 1, base = uint64_t(x);
    uint64_t e = uint64_t(y);
    while (e != 0) {  // wraps on overflow like any 64-bit product
        if (e & 1) result *= base;
        base *= base;
        e >>= 1;
    }
    return int64_t(result);
}

void Rot(double* x, double* y, double angle) {
    BRISEL_ENTRY;
    if (x == nullptr || y == nullptr) Raise(BRISEL_FAIL_ARGUMENT, "Rot: null coordinate");
    double c = portable::Cos(angle), s = portable::Sin(angle);
    double nx = *x * c - *y * s;
    double ny = *x * s + *y * c;
    *x = nx;
    *y = ny;
}

bool Chase(double* value, double target, double step) {
    BRISEL_ENTRY;
    if (value == nullptr) Raise(BRISEL_FAIL_ARGUMENT, "Chase: null value");
    step = std::fabs(step);
    if (std::fabs(target - *value) <= step) {
        *value = target;
        return true;
    }
    *value += *value < target ? step : -step;
    return false;
}

// ---- strings ----------------------------------------------------------------------------------

int64_t SToI(const char* text) {
    BRISEL_ENTRY;
    if (text == nullptr) return 0;
    return int64_t(std::strtoll(text, nullptr, 10));
}

double SToF(const char* text) {
    BRISEL_ENTRY;
    if (text == nullptr) return 0;
    return std::strtod(text, nullptr);
}

const char* IToS(int64_t v, int64_t minDigits) {
    BRISEL_ENTRY;
    minDigits = std::clamp<int64_t>(minDigits, 0, 64);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%0*" PRId64, int(v < 0 ? minDigits + 1 : minDigits), v);
    return Keep(buffer);
}

const char* IToSF(int64_t v, int64_t width) {
    BRISEL_ENTRY;
    width = std::clamp<int64_t>(width, 0, 64);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%*" PRId64, int(width), v);
    return Keep(buffer);
}

const char* FToS(double v, int64_t decimals) {
    BRISEL_ENTRY;
    decimals = std::clamp<int64_t>(decimals, 0, 30);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", int(decimals), v);
    return Keep(buffer);
}

const char* FToSF(double v, int64_t width, int64_t decimals) {
    BRISEL_ENTRY;
    width = std::clamp<int64_t>(width, 0, 64);
    decimals = std::clamp<int64_t>(decimals, 0, 30);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%*.*f", int(width), int(decimals), v);
    return Keep(buffer);
}

// ---- sorting ------------------------------------------------------------------------------------

void Sort(void* base, int64_t count, int64_t size, BriselCmp cmp) {
    BRISEL_ENTRY;
    CheckArray(base, count, size, "Sort");
    if (cmp == nullptr) Raise(BRISEL_FAIL_ARGUMENT, "Sort: no comparison function");
    if (count < 2) return;
    auto* bytes = static_cast<uint8_t*>(base);
    std::vector<const uint8_t*> order(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) order[size_t(i)] = bytes + i * size;
    // The comparator is the game's own code: it runs in the game's floating-point setting.
    const FpSetting engineSetting = GetFpSetting();
    SetFpSetting(briselEntryGuard_.CallerSetting());
    std::stable_sort(order.begin(), order.end(),
                     [cmp](const uint8_t* a, const uint8_t* b) { return cmp(a, b) < 0; });
    SetFpSetting(engineSetting);
    std::vector<uint8_t> sorted(static_cast<size_t>(count * size));
    for (int64_t i = 0; i < count; ++i)
        std::memcpy(&sorted[size_t(i * size)], order[size_t(i)], size_t(size));
    std::memcpy(base, sorted.data(), sorted.size());
}

void Reverse(void* base, int64_t count, int64_t size) {
    BRISEL_ENTRY;
    CheckArray(base, count, size, "Reverse");
    auto* bytes = static_cast<uint8_t*>(base);
    for (int64_t i = 0, j = count - 1; i < j; ++i, --j)
        std::swap_ranges(bytes + i * size, bytes + (i + 1) * size, bytes + j * size);
}

void Shuffle(void* base, int64_t count, int64_t size) {
    BRISEL_ENTRY;
    CheckArray(base, count, size, "Shuffle");
    auto* bytes = static_cast<uint8_t*>(base);
    for (int64_t i = count - 1; i > 0; --i) {
        int64_t j = MainRng().Range(0, i);
        if (j != i) std::swap_ranges(bytes + i * size, bytes + (i + 1) * size, bytes + j * size);
    }
}

int64_t CmpStr(const void* a, const void* b) {
    BRISEL_ENTRY;
    const char *x, *y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    if (x == nullptr || y == nullptr) return (x != nullptr) - (y != nullptr);
    int r = std::strcmp(x, y);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int64_t CmpInt(const void* a, const void* b) {
    BRISEL_ENTRY;
    return Compare<int64_t>(a, b);
}
int64_t CmpFloat(const void* a, const void* b) {
    BRISEL_ENTRY;
    return Compare<double>(a, b);
}
int64_t CmpByte8(const void* a, const void* b) {
    BRISEL_ENTRY;
    return Compare<uint8_t>(a, b);
}
int64_t CmpByte16(const void* a, const void* b) {
    BRISEL_ENTRY;
    return Compare<uint16_t>(a, b);
}
int64_t CmpByte32(const void* a, const void* b) {
    BRISEL_ENTRY;
    return Compare<uint32_t>(a, b);
}
int64_t CmpByte64(const void* a, const void* b) {
    BRISEL_ENTRY;
    return Compare<uint64_t>(a, b);
}

// ---- not provided by this build -----------------------------------------------------------------

#define BRISEL_NOT_PROVIDED(ret, name, params) \
    ret name params {                          \
        BRISEL_ENTRY;                          \
        RaiseNotProvided(#name);               \
    }

BRISEL_NOT_PROVIDED(void*, ReadPackAll, (const char*, const char*, int64_t*))
BRISEL_NOT_PROVIDED(void*, ReadFileAll, (const char*, int64_t*))
BRISEL_NOT_PROVIDED(void, WriteFileAll, (const char*, const void*, int64_t))
BRISEL_NOT_PROVIDED(BriselStream*, LoadPackStream, (const char*, const char*))
BRISEL_NOT_PROVIDED(BriselStream*, LoadFileStream, (const char*, bool))
BRISEL_NOT_PROVIDED(int64_t, ReadStream, (BriselStream*, void*, int64_t))
BRISEL_NOT_PROVIDED(void, WriteStream, (BriselStream*, const void*, int64_t))
BRISEL_NOT_PROVIDED(void, SeekStream, (BriselStream*, int64_t, int64_t))
BRISEL_NOT_PROVIDED(int64_t, TellStream, (BriselStream*))
BRISEL_NOT_PROVIDED(bool, ChkEndStream, (BriselStream*))
BRISEL_NOT_PROVIDED(void, SetSplitChars, (BriselStream*, const char*))
BRISEL_NOT_PROVIDED(const char*, ReadStreamStr, (BriselStream*))
BRISEL_NOT_PROVIDED(int64_t, ReadStreamInt, (BriselStream*))
BRISEL_NOT_PROVIDED(int64_t, ReadStreamChar, (BriselStream*))
BRISEL_NOT_PROVIDED(double, ReadStreamFloat, (BriselStream*))
BRISEL_NOT_PROVIDED(void, WriteStreamStr, (BriselStream*, const char*))
BRISEL_NOT_PROVIDED(void, WriteStreamInt, (BriselStream*, int64_t))
BRISEL_NOT_PROVIDED(void, WriteStreamChar, (BriselStream*, int64_t))
BRISEL_NOT_PROVIDED(void, WriteStreamFloat, (BriselStream*, double))
BRISEL_NOT_PROVIDED(void, SaveSaveData, (const void*, int64_t))
BRISEL_NOT_PROVIDED(void*, LoadSaveData, (int64_t*))
BRISEL_NOT_PROVIDED(BriselObj*, LoadObj, (const char*))
BRISEL_NOT_PROVIDED(void, DrawObj, (BriselObj*, double, double, double, double))
BRISEL_NOT_PROVIDED(void, MoveObjReset, (BriselObj*))
BRISEL_NOT_PROVIDED(void, MoveObjScale, (BriselObj*, double, double, double))
BRISEL_NOT_PROVIDED(void, MoveObjRotX, (BriselObj*, double))
BRISEL_NOT_PROVIDED(void, MoveObjRotY, (BriselObj*, double))
BRISEL_NOT_PROVIDED(void, MoveObjRotZ, (BriselObj*, double))
BRISEL_NOT_PROVIDED(void, MoveObjTrans, (BriselObj*, double, double, double))
BRISEL_NOT_PROVIDED(void, MoveObjSRT,
                    (BriselObj*, double, double, double, double, double, double, double, double, double))
BRISEL_NOT_PROVIDED(void, MoveObjTransLook, (BriselObj*, double, double, double, double, double, double))
BRISEL_NOT_PROVIDED(void, MoveObjTransLookFix, (BriselObj*, double, double, double, double, double, double))
BRISEL_NOT_PROVIDED(void, MoveObjTransLookCamera, (BriselObj*, double, double, double))
BRISEL_NOT_PROVIDED(void, MoveObjTransLookCameraFix, (BriselObj*, double, double, double))
BRISEL_NOT_PROVIDED(void, SetCamera, (double, double, double, double, double, double))
BRISEL_NOT_PROVIDED(void, SetProj, (double, double, double))
BRISEL_NOT_PROVIDED(void, SetAmbLight, (double, double, double))
BRISEL_NOT_PROVIDED(void, SetDirLight, (double, double, double, double, double, double))
BRISEL_NOT_PROVIDED(void, SetLight, (int64_t, double, double, double, double, double, double, double))
BRISEL_NOT_PROVIDED(void, UnsetLight, (int64_t))

}  // extern "C"
