#include "options/controls_screen.hpp"

#include "brisel.h"
#include "frame/bindings.hpp"
#include "frame/input.hpp"
#include "frame/session.hpp"

namespace grappix {

namespace {

constexpr double kColumnX[2] = {60, 820};  // the keyboard's, the controller's
constexpr double kRowTop = 260, kRowPitch = 96, kRowW = 700, kRowH = 86;
constexpr double kGlyphW = 30, kGlyphH = 60;
constexpr double kHeadY = 190, kHeadW = 26, kHeadH = 52;
constexpr double kResetX = 60, kResetW = 520, kBackX = 620, kBackW = 280, kLowY = 680;
constexpr double kNoteY = 800;
constexpr int64_t kNoteSize = 28;
constexpr const char* kActionLabels[kBoundActions] = {"Shoot", "Reel in", "Jump", "Pause"};
constexpr const char* kActionVerbs[kBoundActions] = {"shoots", "reels in", "jumps", "pauses"};

bool IsController(int entry) { return entry >= ControlsScreen::kButtonFirst; }
BoundAction ActionOf(int entry) { return static_cast<BoundAction>(entry % kBoundActions); }

void DrawCentred(const BitmapFont& font, const std::string& label, const Button& b) {
    font.DrawText(label, b.GetX() + (b.GetW() - kGlyphW * static_cast<double>(label.size())) * 0.5,
                  b.GetY() + (b.GetH() - kGlyphH) * 0.5, kGlyphW, kGlyphH, 1.0);
}

}  // namespace

ControlsScreen::ControlsScreen() {
    for (int i = 0; i < kEntryCount; ++i) {
        Button& b = entries[static_cast<size_t>(i)];
        b.InitColors();
        if (i < kReset)
            b.SetRect(kColumnX[IsController(i) ? 1 : 0], kRowTop + kRowPitch * (i % kBoundActions), kRowW,
                      kRowH);
        else
            b.SetRect(i == kReset ? kResetX : kBackX, kLowY, i == kReset ? kResetW : kBackW, kRowH);
    }
    text.LoadDefault();
    noteFont = LoadFont("font.ttf");
    mouse.Init();
    nav.Reset();
}

void ControlsScreen::Run(const std::function<void()>& drawBehind) {
    // Drawn first: it opens in the frame step that chose it, and closes in the one that leaves
    // it, which the options screen then draws.
    for (;;) {
        drawBehind();
        Draw();
        NextFrame();
        if (!Frame()) return;
    }
}

bool ControlsScreen::Frame() {
    mouse.Update();
    if (waiting >= 0) {
        Wait(mouse.LeftReleased() || IsPressed(KeyCount(BRISEL_KEY_ESCAPE)));
        return true;
    }
    const MenuInput in = ReadMenuInput(mouse);
    const MenuNav::Result r = nav.Update(in, entries);
    if (r.action == MenuNav::Action::Back || (r.action == MenuNav::Action::Choose && r.entry == kBack))
        return false;
    if ((r.action == MenuNav::Action::Left || r.action == MenuNav::Action::Right) && r.entry < kReset) {
        // Across to the same action of the other device.
        nav.Reset((r.entry + kBoundActions) % (2 * kBoundActions));
    }
    if (r.action != MenuNav::Action::Choose) return true;
    Session* session = ActiveSession();
    if (r.entry == kReset) {
        if (session != nullptr) session->ResetBindings();
        SetNote("Every key and button is back to its default.");
    } else if (r.entry >= 0) {
        waiting = r.entry;
        SetNote(std::string(IsController(r.entry) ? "Press the controller button" : "Press the key") +
                " for " + kActionLabels[ActionOf(r.entry)] + " (Esc cancels).");
    }
    return true;
}

void ControlsScreen::Wait(bool cancel) {
    const bool controller = IsController(waiting);
    const std::string pressed = PressedName(controller);
    Session* session = ActiveSession();
    if (cancel || session == nullptr || (controller && pressed == "Back")) {
        waiting = -1;
        SetNote("");
        return;
    }
    if (pressed.empty()) return;
    const BoundAction action = ActionOf(waiting);
    const BindingNames before = controller ? session->Current().buttons : session->Current().keys;
    const Session::Bound bound = session->Bind(controller, action, pressed);
    if (bound == Session::Bound::kRefused) {
        SetNote(pressed + ": " + FixedBindingsNote(controller));
        return;  // still waiting for one that may be bound
    }
    waiting = -1;
    const BindingNames& after = controller ? session->Current().buttons : session->Current().keys;
    std::string line = after[action] + " " + kActionVerbs[action] + ".";
    for (int other = 0; other < kBoundActions; ++other)
        if (other != action && after[size_t(other)] != before[size_t(other)])
            line += " " + after[size_t(other)] + " " + kActionVerbs[other] + " now.";
    SetNote(bound == Session::Bound::kSame ? "" : line);
}

void ControlsScreen::SetNote(const std::string& line) {
    if (line == noteText) return;
    noteText = line;
    note = line.empty() ? Tex() : noteFont.MakeTex(kNoteSize, line, 2);
}

void ControlsScreen::Draw() const {
    DrawRect(0, 0, 1600, 900, 0, 0, 0, 0.7);
    text.DrawText("Controls", 60, 50, 60, 120, 1.0);
    text.DrawText("Keyboard", kColumnX[0], kHeadY, kHeadW, kHeadH, 1.0);
    text.DrawText("Controller", kColumnX[1], kHeadY, kHeadW, kHeadH, 1.0);
    const Settings& s = SettingsInForce();
    for (int i = 0; i < kEntryCount; ++i) {
        const Button& b = entries[static_cast<size_t>(i)];
        b.Draw();
        if (i == kReset || i == kBack) {
            DrawCentred(text, i == kReset ? "Reset controls" : "Back", b);
            continue;
        }
        const BoundAction action = ActionOf(i);
        const std::string value =
            waiting == i ? "..." : (IsController(i) ? s.buttons[action] : s.keys[action]);
        const double y = b.GetY() + (b.GetH() - kGlyphH) * 0.5;
        text.DrawText(kActionLabels[action], b.GetX() + 24, y, kGlyphW, kGlyphH, 1.0);
        text.DrawText(value, b.GetX() + b.GetW() - 24 - kGlyphW * static_cast<double>(value.size()), y,
                      kGlyphW, kGlyphH, 1.0);
    }
    if (!noteText.empty()) note.Draw(0, 0, note.Width(), note.Height(), kColumnX[0], kNoteY, 1, 1, 1, 1);
}

}  // namespace grappix
