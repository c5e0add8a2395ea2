#include "game/controls_card.hpp"

#include <string>

#include "brisel.h"
#include "frame/session.hpp"

namespace grappix {

namespace {

constexpr int64_t kCapTextSize = 28;
constexpr double kCapH = 40, kCapPad = 14;
constexpr double kRowTop = 86, kRowPitch = 46;  // from the card's top
constexpr double kActionX = 40, kCapsX = 330;   // from the card's left
constexpr double kGlyphW = 22, kGlyphH = 44;    // the action's lettering

// A cap's label and the colour of its face. A controller's face buttons wear the colours
// most controllers print on them; everything else is a plain dark cap.
struct CapSpec {
    const char* label;
    double r, g, b;
};
constexpr CapSpec Plain(const char* label) { return {label, 0.25, 0.27, 0.35}; }
constexpr CapSpec kA{"A", 0.22, 0.62, 0.25}, kB{"B", 0.78, 0.22, 0.2}, kX{"X", 0.2, 0.42, 0.85};

// A controller button's cap: the face buttons in their colours, the rest plain.
CapSpec ButtonCap(const std::string& name) {
    constexpr CapSpec kY{"Y", 0.85, 0.68, 0.15};
    for (const CapSpec& face : {kA, kB, kX, kY})
        if (name == face.label) return face;
    return Plain("");
}

}  // namespace

void ControlsCard::Prepare() {
    text.LoadDefault();
    capFont = LoadFont("font.ttf");
    orWord = capFont.MakeTex(24, "or", 2);
    Make(cards[0], false);
    Make(cards[1], true);
}

void ControlsCard::Make(Card& card, bool controller) {
    // The bindings in force: the settings', or a replay's as it was recorded.
    const Settings& s = SettingsInForce();
    struct RowText {
        const char* action;
        std::string first, second;  // second empty for one cap
        bool firstIsButton, secondIsButton;
    };
    const std::array<RowText, 5> mouseRows = {{
        {"Shoot", "Left button", s.keys[kBindShoot], false, false},
        {"Reel in", "Right button", s.keys[kBindReel], false, false},
        {"Jump", "Middle button", s.keys[kBindJump], false, false},
        {"Pause", "Esc", s.keys[kBindPause], false, false},
        {"", "", "", false, false},
    }};
    const std::array<RowText, 5> controllerRows = {{
        {"Aim", "Right stick", "", false, false},
        {"Shoot", "RT", s.buttons[kBindShoot], false, true},
        {"Reel in", "LT", s.buttons[kBindReel], false, true},
        {"Jump", s.buttons[kBindJump], "", true, false},
        {"Pause", s.buttons[kBindPause], "", true, false},
    }};
    const std::array<RowText, 5>& rows = controller ? controllerRows : mouseRows;
    card.rowCount = controller ? 5 : 4;
    for (std::size_t i = 0; i < card.rowCount; ++i) {
        Row& row = card.rows[i];
        row.action = rows[i].action;
        row.capCount = 0;
        for (int c = 0; c < 2; ++c) {
            const std::string& label = c == 0 ? rows[i].first : rows[i].second;
            if (label.empty()) continue;
            const CapSpec face =
                (c == 0 ? rows[i].firstIsButton : rows[i].secondIsButton) ? ButtonCap(label) : Plain("");
            Cap& cap = row.caps[row.capCount++];
            cap.label = capFont.MakeTex(kCapTextSize, label, 2);
            cap.r = face.r;
            cap.g = face.g;
            cap.b = face.b;
        }
    }
}

double ControlsCard::DrawCap(const Cap& cap, double x, double y, double alpha) {
    const double w = cap.label.Width() + 2 * kCapPad;
    const double top = y - kCapH * 0.5;
    // A light rim, the face, and a darker lip along the bottom: a key seen from the front.
    DrawRect(x, top, w, kCapH, 0.85, 0.87, 0.92, alpha);
    DrawRect(x + 2, top + 2, w - 4, kCapH - 4, cap.r, cap.g, cap.b, alpha);
    DrawRect(x + 2, top + kCapH - 7, w - 4, 5, cap.r * 0.6, cap.g * 0.6, cap.b * 0.6, alpha);
    cap.label.Draw(0, 0, cap.label.Width(), cap.label.Height(), x + kCapPad,
                   top + (kCapH - 5 - cap.label.Height()) * 0.5, 1, 1, 1, alpha);
    return w;
}

void ControlsCard::Draw(bool controller, double alpha) const {
    if (!(alpha > 0)) return;
    const Card& card = cards[controller ? 1 : 0];
    // The panel: dark and see-through like the pause screen's veil, with a thin light frame.
    DrawRect(kX, kY, kW, kH, 0.04, 0.05, 0.12, 0.72 * alpha);
    DrawRect(kX, kY, kW, 3, 0.9, 0.9, 1.0, 0.8 * alpha);
    DrawRect(kX, kY + kH - 3, kW, 3, 0.9, 0.9, 1.0, 0.8 * alpha);
    const std::string heading = controller ? "Controller" : "Mouse and keyboard";
    text.DrawText(heading, kX + (kW - kGlyphW * static_cast<double>(heading.size())) * 0.5, kY + 16, kGlyphW,
                  kGlyphH, alpha);
    for (std::size_t i = 0; i < card.rowCount; ++i) {
        const Row& row = card.rows[i];
        const double y = kY + kRowTop + kRowPitch * static_cast<double>(i) + kRowPitch * 0.5;
        text.DrawText(row.action, kX + kActionX, y - kGlyphH * 0.5, kGlyphW, kGlyphH, alpha);
        double x = kX + kCapsX;
        for (std::size_t c = 0; c < row.capCount; ++c) {
            if (c > 0) {
                orWord.Draw(0, 0, orWord.Width(), orWord.Height(), x + 10, y - orWord.Height() * 0.5, 1, 1, 1,
                            0.8 * alpha);
                x += orWord.Width() + 20;
            }
            x += DrawCap(row.caps[c], x, y, alpha);
        }
    }
}

}  // namespace grappix
