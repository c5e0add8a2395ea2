/*
 * brisel.h -- the whole contract between the Grappix game and its engine library.
 *
 * The engine is a shared object, Data/Brisel.vqd, loaded by the game at start-up with
 * dlopen and bound by name with dlsym: 132 entry points with C linkage, looked up in the
 * fixed order of BRISEL_ENTRY_POINTS below, then the optional extensions of BRISEL_EXTENSIONS.
 * Nothing else crosses: the game includes this header and nothing of SDL; the engine includes
 * SDL and hides everything but these names.
 *
 * Conventions for every entry point:
 *   - the screen is a logical 1600 x 900 pixels, x to the right, y down;
 *   - reals are doubles, integers int64_t, flags bool; colours r, g, b, a are 0..1;
 *   - angles are radians, 0 along +x, growing clockwise on screen (y is down);
 *   - file names are bare names ("title03.vqtex") resolved inside Data/ of the working folder;
 *   - handles (textures, fonts, sounds, random generators) are opaque and belong to the
 *     engine; FreeMem releases any of them, as it releases AllocMem blocks;
 *   - a failure is raised as a C++ exception of type BriselFailure (code + message), never
 *     reported through a return value. The game catches it by type; both sides are built
 *     with g++ and libstdc++, which match exception types by name across shared objects.
 *   - the game runs with MXCSR 0x7F00 (round toward zero, invalid operation trapped). Every
 *     entry point switches to the platform's default floating-point environment on entry and
 *     restores the caller's on return, so no library code ever runs under the trap.
 *
 * Only one thread calls the engine.
 *
 * Runs without a screen (SDL_VIDEODRIVER=dummy, SDL_AUDIODRIVER=dummy) are steered by the
 * engine's own environment settings, read at Init: BRISEL_INPUT (scripted input), BRISEL_FRAMES,
 * BRISEL_SEED, BRISEL_NOPACE, BRISEL_SHOTS with BRISEL_SHOT_FRAMES, BRISEL_TRACE, BRISEL_DEBUG,
 * and BRISEL_TIMES=file (one line per frame step: "<frame> <milliseconds since Init>", three
 * decimals, for a shown frame; the same followed by " skipped" for a step the frame skip did not
 * show). A paced loop more than a frame behind its deadlines runs up to three steps in a row
 * without rasterising or showing them (every call still traced, hashed and heard), and drops a
 * debt of more than a quarter second; BRISEL_FRAMESKIP=0 shows every step. BRISEL_RENDERER=software
 * or gpu chooses who draws (by default the GPU on a hardware renderer only). Every run, with a window or
 * without, may also be recorded and played back: BRISEL_RECORD=file (record this run to file),
 * BRISEL_REPLAY=file (play that replay back instead of the devices), BRISEL_REPLAY_FROM=N (while playing
 * back, steps before N are run without drawing, sound or pacing: fast-forward), BRISEL_REPLAY_FORCE=1 (play a
 * replay recorded by another version). engine/README.md gives their formats and the keyboard and controller
 * mapping of pad 0. BRISEL_NODRAW=1 draws and shows nothing: every call is still traced and checked.
 */
#ifndef BRISEL_H
#define BRISEL_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
#include <cstring>
extern "C" {
#endif

/* ---- opaque handles ---------------------------------------------------------------- */
typedef struct BriselTex BriselTex;       /* a texture: LoadTex, MakeFontTex */
typedef struct BriselFont BriselFont;     /* a TrueType font: LoadFont */
typedef struct BriselSnd BriselSnd;       /* a sound (music decoded as it plays): LoadSnd */
typedef struct BriselRng BriselRng;       /* an independent random generator: MakeRndSeed */
typedef struct BriselStream BriselStream; /* file streams: not provided by this build */
typedef struct BriselObj BriselObj;       /* 3D objects: not provided by this build */

/* ---- window icon ---------------------------------------------------------------------- */
/* One square image of the window icon: width x height pixels, 0xAARRGGBB, rows top down. */
typedef struct BriselIconImage {
    int32_t width;
    int32_t height;
    const uint32_t* pixels;
} BriselIconImage;

/* The icon group handed over in the initialisation record: several sizes of one picture. */
typedef struct BriselIcon {
    int64_t count;
    const BriselIconImage* images;
} BriselIcon;

/* ---- initialisation record: six 64-bit fields, passed to Init by pointer ------------------ */
typedef struct BriselInitRecord {
    uint64_t buildConstant;    /* opaque value fixed at build time */
    int64_t flag;              /* always 1 */
    void* module;              /* the program's own module handle (dlopen(NULL)) */
    const BriselIcon* icon;    /* the window icon; null for none */
    uintptr_t* exceptionPlace; /* where the failure now travelling was raised; 0 = empty */
    const char* title;         /* window title, UTF-8 */
} BriselInitRecord;

/* ---- failure codes -------------------------------------------------------------------- */
enum {
    BRISEL_FAIL_QUIT = 1000,         /* the player closed the window (or a script/frame limit) */
    BRISEL_FAIL_LOAD = 1001,         /* a file is missing or corrupt; the message names it */
    BRISEL_FAIL_NOT_PROVIDED = 1002, /* an entry point this build does not provide */
    BRISEL_FAIL_ARGUMENT = 1003,     /* a bad handle or argument */
    BRISEL_FAIL_SCRIPT = 1004,       /* BRISEL_INPUT script malformed; message names file, line */
    BRISEL_FAIL_SYSTEM = 1005,       /* SDL or the OS refused (window, renderer, out of memory) */
    BRISEL_FAIL_NOT_READY = 1006,    /* an entry point that needs Init called before it */
    BRISEL_FAIL_USER = 1007          /* Stop: the caller ended the run with its own message */
};

/* Comparison callback of Sort: negative, zero or positive like strcmp. */
typedef int64_t (*BriselCmp)(const void* a, const void* b);

/* ---- the 132 entry points, in binding order --------------------------------------------
 * Each line: X(return type, name, (parameters)). Expand with your own X.               */
/* clang-format off: the table is aligned by hand, one entry a line. */
#define BRISEL_ENTRY_POINTS(X)                                                                           \
    /* life cycle: Init opens the window; Free closes everything; Exit raises QUIT. */                   \
    X(int64_t, Init, (const BriselInitRecord* record))                                                   \
    X(void, Free, (void))                                                                                \
    X(void, Exit, (void))                                                                                \
    /* one frame step: shows what was drawn since the last call, refreshes input, waits for              \
       the next 1/60 s; raises BRISEL_FAIL_QUIT once the player has closed the window. */                \
    X(int64_t, Act, (void))                                                                              \
    X(void, Stop, (const char* message))        /* raises BRISEL_FAIL_USER with the message */           \
    X(int64_t, GetFPS, (void))                  /* frame steps in the last second */                     \
    X(int64_t, GetSysTime, (void))              /* milliseconds since Init (monotonic) */                \
    X(int64_t, GetUnixTime, (void))             /* seconds since 1970 */                                 \
    X(int64_t, Rnd, (int64_t min, int64_t max)) /* uniform over min..max inclusive */                    \
    X(double, RndF, (double min, double max))   /* uniform over [min, max) */                            \
    X(void*, AllocMem, (int64_t size))          /* zeroed heap block */                                  \
    X(void, FreeMem, (void* block))             /* releases a block or any handle; null is ignored */    \
    X(void, DbgLog, (const char* text))         /* debug log line (stderr under BRISEL_DEBUG=1) */       \
    X(void, DbgErrMsg, (const char* text))      /* error line: always to stderr */                       \
    /* files and streams: not provided by this build (raise BRISEL_FAIL_NOT_PROVIDED) */                 \
    X(void*, ReadPackAll, (const char* pack, const char* path, int64_t* size))                           \
    X(void*, ReadFileAll, (const char* path, int64_t* size))                                             \
    X(void, WriteFileAll, (const char* path, const void* data, int64_t size))                            \
    X(BriselStream*, LoadPackStream, (const char* pack, const char* path))                               \
    X(BriselStream*, LoadFileStream, (const char* path, bool write))                                     \
    X(int64_t, ReadStream, (BriselStream * s, void* buf, int64_t size))                                  \
    X(void, WriteStream, (BriselStream * s, const void* buf, int64_t size))                              \
    X(void, SeekStream, (BriselStream * s, int64_t pos, int64_t origin))                                 \
    X(int64_t, TellStream, (BriselStream * s))                                                           \
    X(bool, ChkEndStream, (BriselStream * s))                                                            \
    X(void, SetSplitChars, (BriselStream * s, const char* chars))                                        \
    X(const char*, ReadStreamStr, (BriselStream * s))                                                    \
    X(int64_t, ReadStreamInt, (BriselStream * s))                                                        \
    X(int64_t, ReadStreamChar, (BriselStream * s))                                                       \
    X(double, ReadStreamFloat, (BriselStream * s))                                                       \
    X(void, WriteStreamStr, (BriselStream * s, const char* text))                                        \
    X(void, WriteStreamInt, (BriselStream * s, int64_t v))                                               \
    X(void, WriteStreamChar, (BriselStream * s, int64_t ch))                                             \
    X(void, WriteStreamFloat, (BriselStream * s, double v))                                              \
    /* independent random generators and hashing */                                                      \
    X(BriselRng*, MakeRndSeed, (int64_t seed))                                                           \
    X(int64_t, GetRnd, (BriselRng * rng, int64_t min, int64_t max))                                      \
    X(double, GetRndF, (BriselRng * rng, double min, double max))                                        \
    X(int64_t, MakeHash, (const void* data, int64_t size)) /* 64-bit FNV-1a */                           \
    /* maths (libm, default rounding) */                                                                 \
    X(double, Cos, (double a))                                                                           \
    X(double, Sin, (double a))                                                                           \
    X(double, Tan, (double a))                                                                           \
    X(double, ACos, (double x))                                                                          \
    X(double, ASin, (double x))                                                                          \
    X(double, ATan, (double x))                                                                          \
    X(double, Sqrt, (double x))                                                                          \
    X(double, Exp, (double x))                                                                           \
    X(double, Log, (double x))                                                                           \
    X(double, Pow, (double x, double y))                                                                 \
    X(int64_t, PowI, (int64_t x, int64_t y)) /* integer power, y >= 0 */                                 \
    X(double, Mod, (double x, double y))     /* fmod: remainder with the sign of x */                    \
    X(double, Floor, (double x))                                                                         \
    X(double, Ceil, (double x))                                                                          \
    X(void, Rot, (double* x, double* y, double angle)) /* turns (x, y) by angle in place */              \
    X(double, InvRot, (double x, double y))            /* angle of (x, y): atan2(y, x) */                \
    X(double, Hypot, (double x, double y))                                                               \
    X(bool, Chase, (double* value, double target, double step)) /* true once reached */                  \
    /* strings: returned texts live in an engine buffer until the next such call */                      \
    X(int64_t, SToI, (const char* text))                                                                 \
    X(double, SToF, (const char* text))                                                                  \
    X(const char*, IToS, (int64_t v, int64_t minDigits)) /* zero-padded to minDigits */                  \
    X(const char*, IToSF, (int64_t v, int64_t width))    /* space-padded to width */                     \
    X(const char*, FToS, (double v, int64_t decimals))                                                   \
    X(const char*, FToSF, (double v, int64_t width, int64_t decimals))                                   \
    /* sorting arrays of fixed-size elements, and the comparators for it */                              \
    X(void, Sort, (void* base, int64_t count, int64_t size, BriselCmp cmp))                              \
    X(void, Reverse, (void* base, int64_t count, int64_t size))                                          \
    X(void, Shuffle, (void* base, int64_t count, int64_t size)) /* uses Rnd's generator */               \
    X(int64_t, CmpStr, (const void* a, const void* b))          /* elements are const char* */           \
    X(int64_t, CmpInt, (const void* a, const void* b))          /* elements are int64_t */               \
    X(int64_t, CmpFloat, (const void* a, const void* b))        /* elements are double */                \
    X(int64_t, CmpByte8, (const void* a, const void* b))        /* unsigned 8-bit */                     \
    X(int64_t, CmpByte16, (const void* a, const void* b))                                                \
    X(int64_t, CmpByte32, (const void* a, const void* b))                                                \
    X(int64_t, CmpByte64, (const void* a, const void* b))                                                \
    /* save data: not provided */                                                                        \
    X(void, SaveSaveData, (const void* data, int64_t size))                                              \
    X(void*, LoadSaveData, (int64_t * size))                                                             \
    /* 2D drawing into the logical 1600 x 900 screen */                                                  \
    X(void, Flip, (void))                                          /* not provided */                    \
    X(void, Clear, (double r, double g, double b))                 /* fills the screen */                \
    X(void, SetViewport, (double x, double y, double w, double h)) /* clips later draws */               \
    X(void, ResetViewport, (void))                                                                       \
    X(void, SetZBuf, (bool on))       /* not provided */                                                 \
    X(void, SetBlend, (int64_t mode)) /* 0 alpha (default), 1 additive, 2 none */                        \
    X(void, SetFilter, (bool linear)) /* texture sampling of later draws */                              \
    X(void, DrawRect, (double x, double y, double w, double h, double r, double g, double b, double a))  \
    X(BriselTex*, LoadTex, (const char* path)) /* PNG, checked whole; decoded ahead; raises LOAD */      \
    /* source rectangle sx, sy, sw, sh (texels) stretched into destination dx, dy, dw, dh */             \
    X(void, DrawTex,                                                                                     \
      (BriselTex * tex, double sx, double sy, double sw, double sh, double dx, double dy, double dw,     \
       double dh, double r, double g, double b, double a))                                               \
    /* as DrawTex, turned by angle about (cx, cy) relative to the destination's top-left;                \
       a negative sh draws the source upside down */                                                     \
    X(void, DrawTexRot,                                                                                  \
      (BriselTex * tex, double sx, double sy, double sw, double sh, double dx, double dy, double dw,     \
       double dh, double cx, double cy, double angle, double r, double g, double b, double a))           \
    X(double, GetTexW, (BriselTex * tex))                                                                \
    X(double, GetTexH, (BriselTex * tex))                                                                \
    X(BriselFont*, LoadFont, (const char* path)) /* TrueType; raises LOAD */                             \
    /* white text in a line `size` pixels high (so lines `size` apart never overlap), with a             \
       dark outline n pixels thick */                                                                    \
    X(BriselTex*, MakeFontTex, (BriselFont * font, int64_t size, const char* text, int64_t n))           \
    /* 3D objects, camera and lights: not provided */                                                    \
    X(BriselObj*, LoadObj, (const char* path))                                                           \
    X(void, DrawObj, (BriselObj * obj, double r, double g, double b, double a))                          \
    X(void, MoveObjReset, (BriselObj * obj))                                                             \
    X(void, MoveObjScale, (BriselObj * obj, double x, double y, double z))                               \
    X(void, MoveObjRotX, (BriselObj * obj, double a))                                                    \
    X(void, MoveObjRotY, (BriselObj * obj, double a))                                                    \
    X(void, MoveObjRotZ, (BriselObj * obj, double a))                                                    \
    X(void, MoveObjTrans, (BriselObj * obj, double x, double y, double z))                               \
    X(void, MoveObjSRT,                                                                                  \
      (BriselObj * obj, double sx, double sy, double sz, double rx, double ry, double rz, double tx,     \
       double ty, double tz))                                                                            \
    X(void, MoveObjTransLook,                                                                            \
      (BriselObj * obj, double x, double y, double z, double lx, double ly, double lz))                  \
    X(void, MoveObjTransLookFix,                                                                         \
      (BriselObj * obj, double x, double y, double z, double lx, double ly, double lz))                  \
    X(void, MoveObjTransLookCamera, (BriselObj * obj, double x, double y, double z))                     \
    X(void, MoveObjTransLookCameraFix, (BriselObj * obj, double x, double y, double z))                  \
    X(void, SetCamera, (double x, double y, double z, double lx, double ly, double lz))                  \
    X(void, SetProj, (double fovy, double nearZ, double farZ))                                           \
    X(void, SetAmbLight, (double r, double g, double b))                                                 \
    X(void, SetDirLight, (double x, double y, double z, double r, double g, double b))                   \
    X(void, SetLight,                                                                                    \
      (int64_t slot, double x, double y, double z, double r, double g, double b, double radius))         \
    X(void, UnsetLight, (int64_t slot))                                                                  \
    /* sounds: Ogg Vorbis or WAV; stopping or restarting one fades what sounded over 10 ms */            \
    X(BriselSnd*, LoadSnd, (const char* path)) /* raises LOAD */                                         \
    /* plays from startSeconds (the game passes 0), repeating if loop, fading in over                    \
       fadeSeconds (the game passes 0); a sound already playing restarts */                              \
    X(void, PlaySnd, (BriselSnd * snd, double startSeconds, bool loop, double fadeSeconds))              \
    X(void, StopSnd, (BriselSnd * snd))                                                                  \
    X(bool, ChkPlayingSnd, (BriselSnd * snd))                                                            \
    X(void, VolumeSnd, (BriselSnd * snd, double volume)) /* 0..1 */                                      \
    X(void, PanSnd, (BriselSnd * snd, double pan))       /* -1 left .. 1 right */                        \
    X(void, FreqSnd, (BriselSnd * snd, double ratio))    /* not provided */                              \
    X(double, PosSnd, (BriselSnd * snd))                 /* not provided */                              \
    X(double, LenSnd, (BriselSnd * snd))                 /* length in seconds */                         \
    X(double, GetMasterVolume, (void))                                                                   \
    X(void, SetMasterVolume, (double volume))                                                            \
    /* input: counts are 0 while up, then 1, 2, 3 ... for each frame step held down */                   \
    X(int64_t, Pad, (int64_t pad, int64_t button))                   /* pad 0: keyboard + controllers */ \
    X(void, SetPadCfg, (int64_t pad, const void* cfg, int64_t size)) /* not provided */                  \
    X(int64_t, GetPadCfg, (int64_t pad, void* cfg, int64_t size))    /* not provided */                  \
    X(void, LockPadCfg, (int64_t pad, bool lock))                    /* not provided */                  \
    X(void, SetPadKey, (int64_t pad, int64_t button, int64_t key))   /* not provided */                  \
    X(int64_t, Mouse, (int64_t button))                              /* 0 left, 1 right, 2 middle */     \
    X(double, MouseX, (void))                                        /* logical pixels */                \
    X(double, MouseY, (void))                                                                            \
    /* movies and streamed music: not provided */                                                        \
    X(void, PlayMovie, (const char* path))                                                               \
    X(void, PlayBGM, (const char* path))                                                                 \
    X(void, PlayBGMFade, (const char* path, double seconds))                                             \
    X(void, PlayBGMCross, (const char* path, double seconds))                                            \
    X(void, StopBGM, (void))                                                                             \
    X(void, StopBGMFade, (double seconds))

/* clang-format on */
#define BRISEL_ENTRY_POINT_COUNT 132

/* ---- extensions ----------------------------------------------------------------------------
 * Entry points beyond the 132, for what a desktop game needs from its engine: keys, the window's
 * state, the pointer, sound volumes, fullscreen. They follow the same rules as the 132, but a
 * game binds each of them only if the library has it: against an engine that lacks one, the
 * binding leaves its pointer null and the game does without it (no mute key, no volumes ...).
 * The 132 names above stand alone as the contract; these come after them, in this order.     */

/* Keys that Key() counts, with the names input scripts give them (SDL's key names). Letters
 * and digits follow the keyboard layout: BRISEL_KEY_M is the key labelled M. Each entry:
 * KEY(id, "name") for the constant BRISEL_KEY_<id>.                                          */
/* clang-format off */
#define BRISEL_KEYS(KEY)                                                                                 \
    KEY(RETURN, "Return") KEY(KP_ENTER, "Keypad Enter") KEY(ESCAPE, "Escape") KEY(SPACE, "Space")        \
    KEY(TAB, "Tab") KEY(BACKSPACE, "Backspace")                                                          \
    KEY(UP, "Up") KEY(DOWN, "Down") KEY(LEFT, "Left") KEY(RIGHT, "Right")                                \
    KEY(LCTRL, "Left Ctrl") KEY(RCTRL, "Right Ctrl") KEY(LSHIFT, "Left Shift")                           \
    KEY(RSHIFT, "Right Shift") KEY(LALT, "Left Alt") KEY(RALT, "Right Alt")                              \
    KEY(HOME, "Home") KEY(END, "End") KEY(PAGEUP, "PageUp") KEY(PAGEDOWN, "PageDown")                    \
    KEY(INSERT, "Insert") KEY(DELETE, "Delete")                                                          \
    KEY(F1, "F1") KEY(F2, "F2") KEY(F3, "F3") KEY(F4, "F4") KEY(F5, "F5") KEY(F6, "F6") KEY(F7, "F7")    \
    KEY(F8, "F8") KEY(F9, "F9") KEY(F10, "F10") KEY(F11, "F11") KEY(F12, "F12")                          \
    KEY(A, "A") KEY(B, "B") KEY(C, "C") KEY(D, "D") KEY(E, "E") KEY(F, "F") KEY(G, "G") KEY(H, "H")      \
    KEY(I, "I") KEY(J, "J") KEY(K, "K") KEY(L, "L") KEY(M, "M") KEY(N, "N") KEY(O, "O") KEY(P, "P")      \
    KEY(Q, "Q") KEY(R, "R") KEY(S, "S") KEY(T, "T") KEY(U, "U") KEY(V, "V") KEY(W, "W") KEY(X, "X")      \
    KEY(Y, "Y") KEY(Z, "Z")                                                                              \
    KEY(0, "0") KEY(1, "1") KEY(2, "2") KEY(3, "3") KEY(4, "4") KEY(5, "5") KEY(6, "6") KEY(7, "7")      \
    KEY(8, "8") KEY(9, "9")
enum {
#define BRISEL_KEY_ENUM(id, name) BRISEL_KEY_##id,
    BRISEL_KEYS(BRISEL_KEY_ENUM)
#undef BRISEL_KEY_ENUM
    BRISEL_KEY_COUNT
};
/* clang-format on */

/* A game controller's own buttons, counted by ControllerButton() and named in input scripts
 * ("down button LB"); LT and RT are the triggers held past half their travel. Each entry:
 * BUTTON(id, "name") for the constant BRISEL_BUTTON_<id>.                                    */
/* clang-format off */
#define BRISEL_BUTTONS(BUTTON)                                                                           \
    BUTTON(A, "A") BUTTON(B, "B") BUTTON(X, "X") BUTTON(Y, "Y") BUTTON(BACK, "Back")                     \
    BUTTON(START, "Start") BUTTON(LEFTSTICK, "LS") BUTTON(RIGHTSTICK, "RS") BUTTON(LEFTSHOULDER, "LB")   \
    BUTTON(RIGHTSHOULDER, "RB") BUTTON(DPAD_UP, "D-pad Up") BUTTON(DPAD_DOWN, "D-pad Down")             \
    BUTTON(DPAD_LEFT, "D-pad Left") BUTTON(DPAD_RIGHT, "D-pad Right") BUTTON(LT, "LT") BUTTON(RT, "RT")
enum {
#define BRISEL_BUTTON_ENUM(id, name) BRISEL_BUTTON_##id,
    BRISEL_BUTTONS(BRISEL_BUTTON_ENUM)
#undef BRISEL_BUTTON_ENUM
    BRISEL_BUTTON_COUNT
};
/* clang-format on */

/* What WindowState() counts. */
enum {
    BRISEL_WINDOW_UNFOCUSED = 0, /* the window has lost the keyboard focus */
    BRISEL_WINDOW_MINIMISED = 1  /* the window is minimised or hidden */
};

/* The two sound groups, each with a volume of its own. */
enum {
    BRISEL_SOUND_EFFECTS = 0, /* every sound starts in this group */
    BRISEL_SOUND_MUSIC = 1
};

/* The controller axes PadAxis reads: the sticks from -1 to 1 (x to the right, y down, as on
 * screen), the triggers from 0 (let go) to 1 (pulled all the way). */
enum {
    BRISEL_AXIS_LEFTX = 0,
    BRISEL_AXIS_LEFTY = 1,
    BRISEL_AXIS_RIGHTX = 2,
    BRISEL_AXIS_RIGHTY = 3,
    BRISEL_AXIS_LEFTTRIGGER = 4,
    BRISEL_AXIS_RIGHTTRIGGER = 5,
    BRISEL_AXIS_COUNT = 6
};

/* The device the player used last, as LastDevice reports it. */
enum {
    BRISEL_DEVICE_MOUSE_KEYBOARD = 0, /* the mouse or the keyboard (also before any input) */
    BRISEL_DEVICE_CONTROLLER = 1      /* a game controller */
};

/* A failure code of engines with the extensions: Init found no display to open a window on
 * (no X11 or Wayland reachable and no SDL_VIDEODRIVER chosen). The message is one sentence for
 * the player, saying so and how to run without a window. */
enum { BRISEL_FAIL_NO_DISPLAY = 1008 };

/* A failure code of engines with the replay extensions: the replay of BRISEL_REPLAY cannot be
 * played (missing, cut short, not a replay, recorded by another version) or the game no longer
 * does what was recorded ("replay differs from the recorded game at step N"). The message is one
 * line naming the file and the fault. */
enum { BRISEL_FAIL_REPLAY = 1009 };

/* A failure code of engines with RestartScenes, raised by Act only to a game that called it:
 * the viewer of a replay skipped back, and the scene loop starts again (see RestartScenes). */
enum { BRISEL_FAIL_RESTART = 1010 };

/* Each line: X(return type, name, (parameters)), as in the main table. Every setter may be
 * called before Init: it then sets how Init opens the window and the sound.               */
/* clang-format off: the table is aligned by hand, one entry a line. */
#define BRISEL_EXTENSIONS(X)                                                                        \
    /* the library's name and version with those of the libraries under it, for --version;          \
       any time, before Init too */                                                                 \
    X(const char*, EngineVersion, (void))                                                           \
    /* a key's count (BRISEL_KEY_*), as Pad counts buttons: 0 while up, then 1, 2, 3 ... per frame  \
       step held; refreshed by Act. Ctrl, Shift or Alt down when another key goes down counts       \
       in that step even if let go before it ends. F11 and Alt+Return toggle fullscreen. */         \
    X(int64_t, Key, (int64_t key))                                                                  \
    /* the window's state (BRISEL_WINDOW_*) as a count refreshed by Act: 0 while it does not hold,  \
       then 1, 2, 3 ... per frame step it has held. While the window is minimised or hidden, Act    \
       shows nothing, draws are traced but not made, and every sound is paused. */                  \
    X(int64_t, WindowState, (int64_t which))                                                        \
    /* the system pointer while it is over the window: shown (as at Init) or hidden */              \
    X(void, ShowPointer, (bool show))                                                               \
    /* a sound's group (BRISEL_SOUND_*); its channel plays at VolumeSnd x the group's volume */     \
    X(void, SetSndGroup, (BriselSnd * snd, int64_t group))                                          \
    /* a group's volume, 0..1 (1 at Init) */                                                        \
    X(void, SetGroupVolume, (int64_t group, double volume))                                         \
    /* the volume SetGroupVolume left */                                                            \
    X(double, GetGroupVolume, (int64_t group))                                                      \
    /* silences every sound, or lets them be heard again; they play on unheard, volumes are kept */ \
    X(void, SetMute, (bool mute))                                                                   \
    /* whether SetMute silenced the sounds */                                                       \
    X(bool, GetMute, (void))                                                                        \
    /* fullscreen on the desktop's resolution, or a window */                                       \
    X(void, SetFullscreen, (bool on))                                                               \
    /* whether the window is fullscreen now; F11 and Alt+Return also toggle it */                   \
    X(bool, GetFullscreen, (void))                                                                  \
    /* the plain window's size in screen pixels, 1 to 16384 a side; Init fits it to the desktop */  \
    X(void, SetWindowSize, (int64_t width, int64_t height))                                         \
    /* the last size of the window when neither fullscreen nor maximised (1600 x 900 if none) */    \
    X(void, GetWindowSize, (int64_t * width, int64_t * height))                                     \
    /* a controller axis of pad 0 (BRISEL_AXIS_*), refreshed by Act: sticks -1..1, triggers 0..1;   \
       a stick inside its dead zone reads 0 on both axes, a trigger inside its own reads 0.         \
       With several controllers, each stick is the one pushed furthest; 0 with none. */             \
    X(double, PadAxis, (int64_t axis))                                                              \
    /* the device used last (BRISEL_DEVICE_*), refreshed by Act: a key, a mouse button or a move    \
       of the mouse makes it the mouse and keyboard; a controller's button, or a stick or trigger   \
       pushed past its dead zone, makes it the controller */                                        \
    X(int64_t, LastDevice, (void))                                                                  \
    /* shakes every controller that can, at strength 0..1 for the given milliseconds (at most       \
       2000); nothing where none can. Output only: the game never reads it back */                  \
    X(void, Rumble, (double strength, int64_t milliseconds))                                        \
    /* a note carried in the header of the replay being recorded ("note <key> <value>": key one     \
       word, value one line); call after Init and before the first Act. While a replay plays back,  \
       the game reads the recorded notes with GetReplayNote instead of its own files. Notes are     \
       covered by the replay's checks. The note "version" is the game's version, dotted numbers: it \
       goes into the replay's version line, and it names what the game draws: any change to the     \
       drawing or sound calls the game makes raises it. A replay of an older version plays, the     \
       first check that differs reported in one line and not fatal; one of a newer version plays    \
       only with BRISEL_REPLAY_FORCE=1; an engine version that differs alone changes nothing.       \
       What only a viewer sees (a replay's strip, network content) the engine draws after the       \
       game's frame, as an extension, kept out of traces and checks */                              \
    X(void, SetReplayNote, (const char* key, const char* value))                                    \
    /* while a replay plays back: the note recorded under key; otherwise, or when none was          \
       recorded, null */                                                                            \
    X(const char*, GetReplayNote, (const char* key))                                                \
    /* whether this run is a replay being played back (the game then writes no settings or          \
       records) */                                                                                  \
    X(bool, Replaying, (void))                                                                      \
    /* the file this run is being recorded to, "" when it is not recorded */                        \
    X(const char*, RecordingFile, (void))                                                           \
    /* frame steps Act has made since Init: the step numbers of a replay's lines */                 \
    X(int64_t, StepNumber, (void))                                                                  \
    /* while a run is recorded: writes a check of the frame step just made into the replay (unless  \
       its last check is of that step), writes out everything recorded so far and syncs it to the   \
       disk, so a crash from here on still leaves a replay that plays up to this step. Returns      \
       that step; -1 when the run is not recorded or the replay could not be written */             \
    X(int64_t, SealReplay, (void))                                                                  \
    /* the mouse wheel's notches in the last frame step, refreshed by Act: turned away from the     \
       player more than 0, towards the player less; 0 when it did not turn. Recorded in replays */  \
    X(int64_t, MouseWheel, (void))                                                                  \
    /* the start of the game's scene loop. A game that can play its scenes again from their start   \
       calls it once before its first Act (returns 0): from then on the viewer of a replay may      \
       skip back. The game's state cannot be rewound, so a skip back plays the replay again from    \
       its start: Act raises BRISEL_FAIL_RESTART, the game lets it unwind its scenes, makes its     \
       scene state afresh and calls this again before the next Act. That call returns the engine    \
       to where the first Act found it (frame step 0, the replay's running hash and position, the   \
       input all up, the main random generator's seed, the volumes and mute, the drawing state)     \
       and fast-forwards the new run, unseen and unheard, to the step the viewer asked for; it      \
       returns how many restarts were made. Called at any other time: BRISEL_FAIL_ARGUMENT */       \
    X(int64_t, RestartScenes, (void))                                                               \
    /* a controller button's count (BRISEL_BUTTON_*), as Pad counts: 0 while up, then 1, 2, 3 ...   \
       per frame step held on any controller; refreshed by Act, recorded in replays. Whatever pad   \
       button it holds, it is counted here too: the game learns which button the player pressed */  \
    X(int64_t, ControllerButton, (int64_t button))                                                  \
    /* which key or controller button holds pad button 0 to 3 (jump, shoot, reel, pause) from now   \
       on. device BRISEL_DEVICE_MOUSE_KEYBOARD: code a key (BRISEL_KEY_*, by its label, as Key      \
       counts it); BRISEL_DEVICE_CONTROLLER: code a button (BRISEL_BUTTON_*). code -1 gives the     \
       button back its own keys or controller button (the table of engine/README.md). Whatever is   \
       bound, Escape holds pad button 3, the triggers 1 and 2, the arrows, the d-pad and Back       \
       their own; a key or button bound to another pad button no longer holds its old one. Other    \
       values are ignored. Replays record the pad's counts, so they play the same whatever is       \
       bound when they are watched */                                                               \
    X(void, BindPadButton, (int64_t device, int64_t button, int64_t code))                          \
    /* text the player types, which is never play: starts taking what is typed, from text (UTF-8,   \
       at most maxBytes bytes). While it lasts, keys, mouse buttons and controller buttons go to    \
       the typing, not to the game (they count as up), except Return, Keypad Enter and Escape:      \
       they end it (Escape gives the text back as it was) and reach the game as ever. Nothing       \
       typed is recorded, traced or hashed; while a replay plays back nothing is typed */           \
    X(void, BeginTextInput, (const char* text, int64_t maxBytes))                                   \
    /* ends the typing, keeping what was typed; nothing when none goes on */                        \
    X(void, EndTextInput, (void))                                                                   \
    /* what is typed so far, or what was typed last; "" before any */                               \
    X(const char*, TypedText, (void))                                                               \
    /* text over the next frame shown, drawn by the engine after the game's frame (never into the   \
       frame, a screenshot, a trace or a check): what only the player sees, such as what they typed \
       or content from the network. x, y its top left corner, height a line's height, on a dark     \
       plate; '\n' starts a line. Shown once: the game calls it every frame it should stay */       \
    X(void, OverlayText, (double x, double y, double height, const char* text))                     \
    /* an HTTP request made in the background, for content that never enters play: a GET of url     \
       when form and file are null, otherwise a multipart POST of form ("name=value" lines)         \
       and of the file at path file as the part named part. Returns its number (1, 2 ...), 0 where  \
       the engine has no network. 5 s to connect, 60 s in all; any time, before Init too */         \
    X(int64_t, HttpStart, (const char* url, const char* form, const char* part, const char* file))  \
    /* a request's state: 0 while it goes on, the answer's HTTP status, or -1 when it failed (no    \
       connection, a timeout, an answer over 4 MiB, an unknown number) */                           \
    X(int64_t, HttpStatus, (int64_t request))                                                       \
    /* the answer's body, or after a failure one line saying why; "" while it goes on */            \
    X(const char*, HttpBody, (int64_t request))                                                     \
    /* forgets a request; one still going on is stopped */                                          \
    X(void, HttpFree, (int64_t request))                                                            \
    /* OverlayText kept within maxWidth pixels: a line wider than that shows "..." and the end of   \
       it that fits (whole characters), as a field shows where its text is being typed */           \
    X(void, OverlayTextWithin, (double x, double y, double height, double maxWidth, const char* text))
/* clang-format on */
#define BRISEL_EXTENSION_COUNT 35

/* Declarations of the exported functions (used by the engine itself). */
#define BRISEL_DECLARE(ret, name, params) ret name params;
BRISEL_ENTRY_POINTS(BRISEL_DECLARE)
BRISEL_EXTENSIONS(BRISEL_DECLARE)
#undef BRISEL_DECLARE

#ifdef __cplusplus
} /* extern "C" */

/* The one failure type that crosses the boundary: a 32-bit code and an optional message.
 * The message is copied into the object so it outlives whatever raised it. The copy is fit for
 * a terminal: a control byte (a NUL included, which cuts nothing) is written as \xNN, and a
 * message longer than the object holds keeps its beginning and its end and loses the middle
 * ("..."): the end of a message says what went wrong, the middle of a long one is a file name.
 * Messages given with their length may hold NUL bytes. */
class BriselFailure {
public:
    explicit BriselFailure(uint32_t code, const char* message = nullptr)
        : BriselFailure(code, message, message != nullptr ? std::strlen(message) : 0) {}
    BriselFailure(uint32_t code, const char* message, size_t length) : code_(code) {
        hasMessage_ = message != nullptr;
        size_t size = 0;  // the escaped length
        for (size_t i = 0; i < length; ++i) size += Escaped(message[i], nullptr);
        const size_t room = sizeof text_ - 1;
        // Beyond the room: the first kHead bytes, "...", then as much of the end as fits.
        const size_t head = size > room ? kHead : size;
        const size_t tailFrom = size > room ? size - (room - kHead - 3) : size;
        size_t at = 0, out = 0;
        bool cut = false;
        for (size_t i = 0; i < length; ++i) {
            char bytes[4];
            const size_t n = Escaped(message[i], bytes);
            if (at + n <= head || at >= tailFrom) {
                std::memcpy(text_ + out, bytes, n);
                out += n;
            } else if (!cut) {
                std::memcpy(text_ + out, "...", 3);
                out += 3;
                cut = true;
            }
            at += n;
        }
        text_[out] = '\0';
    }
    uint32_t Code() const { return code_; }                                // the failure code
    const char* Message() const { return hasMessage_ ? text_ : nullptr; }  // null if none

private:
    static constexpr size_t kHead = 96;
    // The bytes c is written as (into out when not null); returns their count.
    static size_t Escaped(char c, char* out) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            if (out != nullptr) out[0] = c;
            return 1;
        }
        if (out != nullptr) {
            out[0] = '\\';
            out[1] = 'x';
            out[2] = "0123456789abcdef"[u >> 4];
            out[3] = "0123456789abcdef"[u & 15];
        }
        return 4;
    }
    uint32_t code_;
    bool hasMessage_;
    char text_[496];
};
#endif

#endif /* BRISEL_H */
