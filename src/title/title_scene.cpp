#include "title/title_scene.hpp"

#include <array>
#include <memory>
#include <string>

#include "common/backdrop.hpp"
#include "common/bitmap_font.hpp"
#include "common/button.hpp"
#include "common/camera.hpp"
#include "common/menu_nav.hpp"
#include "common/mouse_input.hpp"
#include "common/sprite_layout.hpp"
#include "common/stage.hpp"
#include "frame/board_link.hpp"
#include "frame/input.hpp"
#include "frame/media.hpp"
#include "frame/session.hpp"
#include "options/options_screen.hpp"
#include "records/record_book.hpp"

namespace grappix {

namespace {

constexpr int kMenuCount = 4;  // Normal, No Block, Free Style, Credit
constexpr int kCredit = 3;
constexpr int kOptions = 4;  // the small entry in the corner, after the menu for the highlight
constexpr GameMode kModes[kCredit] = {GameMode::Normal, GameMode::NoBlock, GameMode::FreeStyle};
constexpr double kMenuY[kMenuCount] = {380, 500, 620, 740};
constexpr const char* kCaptions[kMenuCount] = {"Normal", "No Block", "Free Style", "Credit"};
constexpr double kCaptionW = 40, kCaptionH = 80;
constexpr double kBoardTopX = 40;  // the board's top three of each mode, left of its button
constexpr double kScrollStep = 5;  // camera pixels per frame, on the menu and the credits
constexpr int64_t kPadBack = 4;    // the controller's Back button on pad 0

// Credit lines: a heading (size 72), an ordinary or name line (48), a web address (30), or a
// blank (a single space at 48). Name and address lines start with a space.
enum class Line { Heading, Name, Web, Blank };
struct CreditLine {
    Line kind;
    const char* text;
};
constexpr int kCreditLines = 24;
constexpr double kCreditPitch = 48;
constexpr double kCreditTop = 30;
constexpr double kLeftColumnX = 30, kRightColumnX = 760;

constexpr CreditLine B{Line::Blank, " "};

constexpr std::array<CreditLine, kCreditLines> kLeftCredits = {{
    {Line::Heading, "Graphics"},
    B,
    {Line::Name, " The Grappix developers"},
    {Line::Name, " drawn in code with cairo"},
    {Line::Name, " font: DejaVu Sans"},
    {Line::Name, " shown by SDL2"},
    B,
    {Line::Heading, "Audio"},
    B,
    {Line::Name, " The Grappix developers"},
    {Line::Name, " encoded with Ogg Vorbis"},
    {Line::Web, " https://xiph.org/vorbis/"},
    B,
    B,
    B,
    B,
    B,
    B,
    B,
    B,
    B,
    B,
    B,
    B,
}};

constexpr std::array<CreditLine, kCreditLines> kRightCredits = {{
    {Line::Heading, "Localize"},
    B,
    {Line::Name, " English"},
    B,
    {Line::Heading, "Game Design / Program"},
    B,
    {Line::Name, " The Grappix developers"},
    B,
    {Line::Heading, "Programming Language"},
    B,
    {Line::Name, " C++20 "},
    {Line::Web, " https://isocpp.org/"},
    B,
    {Line::Heading, "SpecialThanks"},
    B,
    {Line::Name, " SDL, cairo, Xiph.Org, DejaVu"},
    B,
    B,
    B,
    B,
    B,
    B,
    B,
    B,
}};

// The bottom line: the controls in one line, for the device the player holds. It ends left of
// the options entry and sits below the menu.
// The keys and buttons named are the bindings in force.
std::string ControlsLine(bool controller) {
    const Settings& s = SettingsInForce();
    if (!controller)
        return "Mouse: left button shoots, right reels in, middle jumps.  Keys: " + s.keys[kBindShoot] +
               ", " + s.keys[kBindReel] + ", " + s.keys[kBindJump] + "; Esc pauses.";
    return "Controller: right stick aims, RT or " + s.buttons[kBindShoot] + " shoots, LT or " +
           s.buttons[kBindReel] + " reels in, " + s.buttons[kBindJump] + " jumps, " + s.buttons[kBindPause] +
           " pauses.";
}
constexpr int64_t kControlsLineSize = 24;
constexpr double kControlsLineX = 30, kControlsLineY = 862;
constexpr const char* kCreditsReturn = "Click, or press Esc (B on a controller), to return";
// While a mode's button is lit, the bottom strip says what the mode is instead of the controls.
constexpr const char* kModeLines[kCredit] = {
    "Normal: pillars hang from the roof and stand on the ground; the hook catches on them.",
    "No Block: open ground and roof, nothing in between; the hook catches on the roof.",
    "Free Style: no roof and no blocks; the hook catches anywhere it lands.",
};
// Escape (or Back) on the title asks first: a second press within two seconds quits.
constexpr const char* kQuitLine = "Press Esc again to quit";
constexpr int64_t kQuitAskFrames = 120;

Tex MakeCreditTex(const Font& font, const CreditLine& line) {
    switch (line.kind) {
    case Line::Heading: return font.MakeTex(72, line.text, 4);
    case Line::Web: return font.MakeTex(30, line.text, 3);
    default: return font.MakeTex(48, line.text, 4);
    }
}

// Everything the title owns, created in this order and released together when it returns.
class TitleScene {
public:
    TitleScene() {
        for (int i = 0; i < kMenuCount; ++i) {
            buttons[i].InitColors();
            buttons[i].SetRect(400, kMenuY[i], 800, 100);
        }
        InitOptionsEntry(buttons[kOptions]);
        captionFont.LoadDefault();
        logo = LoadTex(layout::kLogoSheet.file);
        camera.Init(stage::kViewX, stage::kViewY);
        backdrop.Configure(stage::kViewX, stage::kViewY, stage::kGroundLine, stage::kRoofLine, false);
        backdrop.LoadSheets(stage::kViewX, stage::kViewY, stage::kScreenW, stage::kScreenH);
        creditsFont = LoadFont("font.ttf");
        // Text is rendered ahead in the order it is asked for: the controls line, drawn in the
        // first frame, goes before the credits, which wait for a click.
        MakeControlsLines();
        for (int i = 0; i < kCreditLines; ++i) leftLines[i] = MakeCreditTex(creditsFont, kLeftCredits[i]);
        for (int i = 0; i < kCreditLines; ++i) rightLines[i] = MakeCreditTex(creditsFont, kRightCredits[i]);
        creditsReturn = creditsFont.MakeTex(30, kCreditsReturn, 3);
        for (int i = 0; i < kCredit; ++i)
            modeLines[i] = creditsFont.MakeTex(kControlsLineSize, kModeLines[i], 2);
        quitLine = creditsFont.MakeTex(kControlsLineSize, kQuitLine, 2);
        music.Load("chaser.ogg", 0.5, true);
        music.Play();
    }

    GameMode Run() {
        ShowPointer(true);
        // With a controller in hand, the highlight waits on "Normal" (MenuNav lights the first
        // entry for a controller).
        nav.Reset();
        for (;;) {
            NextFrame();
            mouse.Update();
            if (LeavePressed()) {
                if (quitAsked > 0) Quit();
                quitAsked = kQuitAskFrames;
            } else if (quitAsked > 0) {
                --quitAsked;
            }
            // A mode is chosen by releasing the left button over it (pressing elsewhere does
            // not matter), or by Enter or A on the highlighted one. Going back (B, Start) has
            // nowhere to go from here: only Escape and Back leave, and they quit.
            const MenuNav::Result r = nav.Update(ReadMenuInput(mouse), buttons);
            if (r.action == MenuNav::Action::Choose) {
                if (r.entry < kCredit) return kModes[r.entry];
                if (r.entry == kCredit) Credits();
                if (r.entry == kOptions) {
                    RunOptions([this] { Scroll(); });
                    MakeControlsLines();  // the controls may have been rebound
                }
            }

            Scroll();
            const layout::Cell& l = layout::kLogo;
            logo.DrawScale(l.x, l.y, l.w, l.h, 30, 20, 1600, 400, 1, 1, 1, 1);
            for (int i = 0; i < kMenuCount; ++i) buttons[i].Draw();
            for (int i = 0; i < kMenuCount; ++i) {
                std::string caption = kCaptions[i];
                double x = 800 - static_cast<double>(caption.size()) * kCaptionW * 0.5;
                captionFont.DrawText(caption, x, kMenuY[i] + 10, kCaptionW, kCaptionH, 1.0);
            }
            DrawModeRecords(captionFont, ActiveRecords());
            if (BoardLink* board = ActiveBoard())
                for (int i = 0; i < kCredit; ++i)
                    board->ShowTop(static_cast<int>(kModes[i]), kBoardTopX, kMenuY[i] + 8);
            DrawOptionsEntry(buttons[kOptions], captionFont);
            const int lit = nav.Highlighted();
            const Tex& line = quitAsked > 0               ? quitLine
                              : lit >= 0 && lit < kCredit ? modeLines[lit]
                                                          : controlsLine[ControllerInUse() ? 1 : 0];
            DrawRect(kControlsLineX - 12, kControlsLineY - 4, line.Width() + 24, line.Height() + 8, 0, 0, 0,
                     0.45);
            line.Draw(0, 0, line.Width(), line.Height(), kControlsLineX, kControlsLineY, 1, 1, 1, 0.85);
        }
    }

private:
    void Scroll() {
        camera.SetPos(camera.GetX() + kScrollStep, camera.GetY());
        backdrop.Draw(camera.GetX(), camera.GetY());
    }

    // Escape, or a controller's Back: on the title they close the credits, then (asked twice)
    // quit.
    static bool LeavePressed() {
        return IsPressed(KeyCount(BRISEL_KEY_ESCAPE)) || IsPressed(PadCount(0, kPadBack));
    }

    // The credits: a dimmed panel with two columns over the still-scrolling backdrop, until
    // the left button is released anywhere, or the player goes back (Escape, B, Back) or
    // presses Enter or A.
    void Credits() {
        for (;;) {
            NextFrame();
            mouse.Update();
            const MenuInput in = ReadMenuInput(mouse);
            // The controller's own B too, whatever it is bound to: the credits name it.
            if (in.click || in.back || in.choose || LeavePressed() || IsPressed(KeyCount(BRISEL_KEY_B)) ||
                IsPressed(ControllerButtonCount(BRISEL_BUTTON_B)))
                return;
            Scroll();
            DrawRect(14, 14, 1572, 872, 0, 0, 0, 0.5);
            for (int i = 0; i < kCreditLines; ++i) {
                double y = kCreditTop + kCreditPitch * i;
                leftLines[i].Draw(0, 0, leftLines[i].Width(), leftLines[i].Height(), kLeftColumnX, y, 1, 1, 1,
                                  1);
                rightLines[i].Draw(0, 0, rightLines[i].Width(), rightLines[i].Height(), kRightColumnX, y, 1,
                                   1, 1, 1);
            }
            creditsReturn.Draw(0, 0, creditsReturn.Width(), creditsReturn.Height(),
                               800 - creditsReturn.Width() * 0.5, 820, 1, 1, 1, 1);
        }
    }

    // The controls lines of the bindings in force, made again only when their text changed.
    void MakeControlsLines() {
        for (int i = 0; i < 2; ++i) {
            std::string text = ControlsLine(i == 1);
            if (text == controlsText[i]) continue;
            controlsLine[i] = creditsFont.MakeTex(kControlsLineSize, text, 2);
            controlsText[i] = std::move(text);
        }
    }

    std::array<Button, kMenuCount + 1> buttons;  // the menu, then the options entry
    MenuNav nav;
    BitmapFont captionFont;
    Tex logo;
    MouseInput mouse;
    Camera camera;
    Backdrop backdrop;
    Font creditsFont;
    std::array<Tex, kCreditLines> leftLines;
    std::array<Tex, kCreditLines> rightLines;
    std::array<Tex, 2> controlsLine;  // for the mouse and keyboard, for a controller
    std::array<std::string, 2> controlsText;
    Tex creditsReturn;
    std::array<Tex, kCredit> modeLines;  // what each mode is
    Tex quitLine;
    int64_t quitAsked = 0;  // frames left to press Escape again and quit
    SoundClip music;
};

}  // namespace

void DrawModeRecords(const BitmapFont& font, const RecordBook* records) {
    if (records == nullptr) return;
    for (int i = 0; i < kCredit; ++i) {
        const int64_t best = records->Get(static_cast<int>(kModes[i])).best;
        if (best <= 0) continue;
        const std::string label = "Best " + std::to_string(best);
        const double w = static_cast<double>(label.size()) * kRecordCharW;
        const double y = kMenuY[i] + (100 - kRecordCharH) * 0.5;
        // The backdrop scrolls bright and dark behind it: a dim strip keeps it readable.
        DrawRect(kRecordLabelX - 10, y - 4, w + 20, kRecordCharH + 8, 0, 0, 0, 0.45);
        font.DrawText(label, kRecordLabelX, y, kRecordCharW, kRecordCharH, 1.0);
    }
}

GameMode RunTitle() {
    auto scene = std::make_unique<TitleScene>();
    return scene->Run();
}

}  // namespace grappix
