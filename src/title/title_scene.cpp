#include "title/title_scene.hpp"

#include <array>
#include <memory>
#include <string>

#include "common/backdrop.hpp"
#include "common/bitmap_font.hpp"
#include "common/button.hpp"
#include "common/camera.hpp"
#include "common/mouse_input.hpp"
#include "common/sprite_layout.hpp"
#include "common/stage.hpp"
#include "frame/input.hpp"
#include "frame/media.hpp"
#include "options/options_screen.hpp"
#include "records/record_book.hpp"

namespace grappix {

namespace {

constexpr int kMenuCount = 4;  // Normal, No Block, Free Style, Credit
constexpr int kCredit = 3;
constexpr GameMode kModes[kCredit] = {GameMode::Normal, GameMode::NoBlock, GameMode::FreeStyle};
constexpr double kMenuY[kMenuCount] = {380, 500, 620, 740};
constexpr const char* kCaptions[kMenuCount] = {"Normal", "No Block", "Free Style", "Credit"};
constexpr double kCaptionW = 40, kCaptionH = 80;
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
        InitOptionsEntry(optionsEntry);
        captionFont.LoadDefault();
        logo = LoadTex(layout::kLogoSheet.file);
        camera.Init(stage::kViewX, stage::kViewY);
        backdrop.Configure(stage::kViewX, stage::kViewY, stage::kGroundLine, stage::kRoofLine, false);
        backdrop.LoadSheets(stage::kViewX, stage::kViewY, stage::kScreenW, stage::kScreenH);
        creditsFont = LoadFont("font.ttf");
        for (int i = 0; i < kCreditLines; ++i) leftLines[i] = MakeCreditTex(creditsFont, kLeftCredits[i]);
        for (int i = 0; i < kCreditLines; ++i) rightLines[i] = MakeCreditTex(creditsFont, kRightCredits[i]);
        music.Load("chaser.ogg", 0.5, true);
        music.Play();
    }

    GameMode Run() {
        ShowPointer(true);
        for (;;) {
            NextFrame();
            mouse.Update();
            if (LeavePressed()) Quit();
            double mx = mouse.GetX(), my = mouse.GetY();
            bool released = mouse.LeftReleased();
            // A mode is chosen by releasing the left button over it; pressing elsewhere does
            // not matter.
            for (int i = 0; i < kCredit; ++i)
                if (released && buttons[i].Contains(mx, my)) return kModes[i];
            if (released && buttons[kCredit].Contains(mx, my)) Credits();
            if (released && optionsEntry.Contains(mx, my)) RunOptions([this] { Scroll(); });

            for (Button& b : buttons) b.UpdateHover(mx, my);
            optionsEntry.UpdateHover(mx, my);
            Scroll();
            const layout::Cell& l = layout::kLogo;
            logo.DrawScale(l.x, l.y, l.w, l.h, 30, 20, 1600, 400, 1, 1, 1, 1);
            for (Button& b : buttons) b.Draw();
            for (int i = 0; i < kMenuCount; ++i) {
                std::string caption = kCaptions[i];
                double x = 800 - static_cast<double>(caption.size()) * kCaptionW * 0.5;
                captionFont.DrawText(caption, x, kMenuY[i] + 10, kCaptionW, kCaptionH, 1.0);
            }
            DrawModeRecords(captionFont, ActiveRecords());
            DrawOptionsEntry(optionsEntry, captionFont);
        }
    }

private:
    void Scroll() {
        camera.SetPos(camera.GetX() + kScrollStep, camera.GetY());
        backdrop.Draw(camera.GetX(), camera.GetY());
    }

    // Escape, or a controller's Back: on the title they close the credits, then quit.
    static bool LeavePressed() {
        return IsPressed(KeyCount(BRISEL_KEY_ESCAPE)) || IsPressed(PadCount(0, kPadBack));
    }

    // The credits: a dimmed panel with two columns over the still-scrolling backdrop, until
    // the left button is released anywhere (or the player leaves them by key).
    void Credits() {
        for (;;) {
            NextFrame();
            mouse.Update();
            if (mouse.LeftReleased() || LeavePressed()) return;
            Scroll();
            DrawRect(14, 14, 1572, 872, 0, 0, 0, 0.5);
            for (int i = 0; i < kCreditLines; ++i) {
                double y = kCreditTop + kCreditPitch * i;
                leftLines[i].Draw(0, 0, leftLines[i].Width(), leftLines[i].Height(), kLeftColumnX, y, 1, 1, 1,
                                  1);
                rightLines[i].Draw(0, 0, rightLines[i].Width(), rightLines[i].Height(), kRightColumnX, y, 1,
                                   1, 1, 1);
            }
        }
    }

    std::array<Button, kMenuCount> buttons;
    Button optionsEntry;
    BitmapFont captionFont;
    Tex logo;
    MouseInput mouse;
    Camera camera;
    Backdrop backdrop;
    Font creditsFont;
    std::array<Tex, kCreditLines> leftLines;
    std::array<Tex, kCreditLines> rightLines;
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
