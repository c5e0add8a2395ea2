#include "options/options_screen.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>

#include "desktop/settings.hpp"
#include "frame/engine.hpp"
#include "frame/input.hpp"
#include "frame/session.hpp"
#include "options/controls_screen.hpp"

namespace grappix {

namespace {

// The small entry that opens the options, in the bottom right corner of the title and the
// pause screen, clear of their menus.
constexpr double kEntryX = 1260, kEntryY = 770, kEntryW = 280, kEntryH = 80, kEntryGlyphW = 30;

// The rows of settings, down the left side.
constexpr double kRowX = 60, kRowW = 600, kRowH = 70;
constexpr double kRowY[OptionsScreen::kEntryCount] = {136, 214, 292, 370, 448, 526, 604, 682, 0, 770};
constexpr double kBackW = 280;
constexpr const char* kLabels[OptionsScreen::kEntryCount] = {
    "Music", "Effects", "Mute", "Fullscreen", "Rumble", "Online board", "Name", "Address", "Change", "Back"};
constexpr double kGlyphW = 30, kGlyphH = 60;
// The board's typed rows: their text starts after the label and is drawn by the engine.
constexpr double kTypedX = kRowX + 24 + 8 * kGlyphW + 10;
// What is shown stays inside the row, clear of the controls' card: the engine keeps a line
// within the row's width (its end, after "..."); an engine without that shows the last 19
// characters, which fit unless they are all as wide as "W".
constexpr double kTypedH = 34;
constexpr double kTypedW = kRowX + kRowW - kTypedX - 16;  // the dark plate's margins and a gap
constexpr size_t kAddressShown = 19;
constexpr double kValueX = kRowX + 356;  // "< 100 >": 7 glyphs from here
constexpr int64_t kVolumeStep = 10;
constexpr double kDragStep = 40;  // a drag along a volume row moves it a step every so many pixels

// The card of the controls, down the right side: an action, then how the mouse, the keyboard
// and a controller give it.
constexpr double kCardX = 700, kCardY = 200, kCardW = 860, kCardH = 590;
constexpr int64_t kCardSize = 26;  // text line height, pixels
constexpr double kCardPitch = 38;
constexpr double kColumnX[4] = {kCardX + 24, kCardX + 250, kCardX + 440, kCardX + 620};
// The keys and buttons are the bindings in force (the menus take the jump button to choose and
// the reel button to go back, as they take pad 0's buttons).
std::array<std::array<std::string, 4>, 11> CardCells(const Settings& s) {
    return {{
        {"", "Mouse", "Keyboard", "Controller"},
        {"Aim", "point", "", "right stick"},
        {"Shoot, take back", "left button", s.keys[kBindShoot], "RT or " + s.buttons[kBindShoot]},
        {"Reel in, let go", "right button", s.keys[kBindReel], "LT or " + s.buttons[kBindReel]},
        {"Jump, kick off", "middle button", s.keys[kBindJump], s.buttons[kBindJump]},
        {"Pause, resume", "", "Esc, " + s.keys[kBindPause], s.buttons[kBindPause]},
        {"Menus", "point, click", "arrows, Enter", "d-pad, left stick, " + s.buttons[kBindJump]},
        {"Back", "", "Esc", s.buttons[kBindReel]},
        {"Mute", "", "M", ""},
        {"Fullscreen", "", "F11, Alt+Enter", ""},
        {"Quit", "", "Ctrl+Q", "Back (title)"},
    }};
}

// The controls page's entry, on the card beside its heading.
constexpr double kChangeX = kCardX + kCardW - 300, kChangeY = kCardY + 8, kChangeW = 280, kChangeH = 62;
constexpr double kChangeGlyphW = 26, kChangeGlyphH = 52;

const Settings& Shown() { return SettingsInForce(); }

std::string VolumeText(int64_t percent) {
    std::string n = std::to_string(percent);
    return "<" + std::string(4 - std::min<size_t>(n.size(), 3), ' ') + n + " >";
}

// A switch's value, its last letter in the column of a volume's last digit: every value of the
// screen ends in one column, well clear of the longest label ("Fullscreen").
std::string SwitchText(bool on) { return on ? "   On" : "  Off"; }

bool IsVolume(int entry) { return entry == OptionsScreen::kMusic || entry == OptionsScreen::kEffects; }

}  // namespace

double OptionsScreen::DownArrowX() { return kValueX + kGlyphW * 0.5; }
double OptionsScreen::UpArrowX() { return kValueX + kGlyphW * 6.5; }

OptionsScreen::OptionsScreen() {
    for (int i = 0; i < kEntryCount; ++i) {
        Button& b = entries[static_cast<size_t>(i)];
        b.InitColors();
        if (i == kControls)
            b.SetRect(kChangeX, kChangeY, kChangeW, kChangeH);
        else
            b.SetRect(kRowX, kRowY[i], i == kBack ? kBackW : kRowW, kRowH);
    }
    text.LoadDefault();
    cardFont = LoadFont("font.ttf");
    MakeCard();
    footnote = cardFont.MakeTex(22, "These settings are kept between runs; grappix --help says where.", 2);
    sample.Load("hit_p13_a.ogg", 0.5, false);
    mouse.Init();
    nav.Reset();
}

void OptionsScreen::MakeCard() {
    cardCount = 0;
    const auto cells = CardCells(Shown());
    for (size_t row = 0; row < cells.size(); ++row)
        for (size_t column = 0; column < 4; ++column) {
            const std::string& cell = cells[row][column];
            if (cell.empty() || cardCount == card.size()) continue;
            card[cardCount++] = {cardFont.MakeTex(kCardSize, cell, 2), kColumnX[column],
                                 kCardY + 78 + kCardPitch * static_cast<double>(row)};
        }
}

void OptionsScreen::Run(const std::function<void()>& drawBehind) {
    ShowPointer(true);
    for (;;) {
        NextFrame();
        if (!Frame()) return;
        if (openControls) {
            openControls = false;
            {
                ControlsScreen controls;  // its lettering goes when it closes
                controls.Run(drawBehind);
            }
            MakeCard();
            nav.Reset(kControls);
        }
        drawBehind();
        Draw();
    }
}

bool OptionsScreen::Frame() {
    if (Typing()) return true;
    mouse.Update();
    const MenuInput in = ReadMenuInput(mouse);
    const MenuNav::Result r = nav.Update(in, entries);
    if (r.action == MenuNav::Action::Back || (r.action == MenuNav::Action::Choose && r.entry == kBack))
        return false;
    Drag(in);
    if (r.action == MenuNav::Action::Choose && r.byPointer && IsVolume(r.entry) && dragged) return true;
    Act(r, in);
    if (typingRow >= 0) return true;
    const int wheel = static_cast<int>(WheelSteps());
    for (int i = 0; i < kBack; ++i)
        if (wheel != 0 && IsVolume(i) && entries[static_cast<size_t>(i)].Contains(in.pointerX, in.pointerY))
            for (int n = 0; n < std::abs(wheel); ++n) Step(i, wheel > 0 ? +1 : -1);
    return true;
}

void OptionsScreen::Drag(const MenuInput& in) {
    if (mouse.LeftPressed()) {
        dragRow = -1;
        dragged = false;
        for (int i = 0; i < kBack; ++i)
            if (IsVolume(i) && entries[static_cast<size_t>(i)].Contains(in.pointerX, in.pointerY))
                dragRow = i;
        dragX = in.pointerX;
    }
    if (!mouse.LeftHeld() && !mouse.LeftReleased()) dragRow = -1;
    if (dragRow < 0) return;
    while (std::abs(in.pointerX - dragX) >= kDragStep) {
        const int direction = in.pointerX > dragX ? +1 : -1;
        Step(dragRow, direction);
        dragX += kDragStep * direction;
        dragged = true;
    }
}

void OptionsScreen::Act(const MenuNav::Result& r, const MenuInput& in) {
    const bool volume = r.entry == kMusic || r.entry == kEffects;
    if (r.entry == kControls) {
        openControls = r.action == MenuNav::Action::Choose;
        return;
    }
    switch (r.action) {
    case MenuNav::Action::Left:
    case MenuNav::Action::Right:
        if (r.entry != kBoardName && r.entry != kBoardAddress)
            Step(r.entry, r.action == MenuNav::Action::Left ? -1 : +1);
        break;
    case MenuNav::Action::Choose:
        if (!volume) {
            Step(r.entry, +1);
        } else if (r.byPointer) {
            // A click anywhere on a volume row: left of the value's middle lowers (the label, the
            // "<"), right of it raises (the ">" and beyond).
            Step(r.entry, in.pointerX < kValueX + kGlyphW * 3.5 ? -1 : +1);
        }
        break;
    default: break;
    }
}

void OptionsScreen::Step(int entry, int direction) {
    Session* session = ActiveSession();
    if (session == nullptr) return;
    const Settings& now = session->Current();
    auto next = [direction](int64_t v) {
        // Back onto the steps from a volume the command line set between them.
        int64_t stepped = direction > 0 ? (v / kVolumeStep + 1) * kVolumeStep
                                        : ((v + kVolumeStep - 1) / kVolumeStep - 1) * kVolumeStep;
        return std::clamp<int64_t>(stepped, 0, 100);
    };
    switch (entry) {
    case kMusic: session->SetMusicVolume(next(now.musicVolume)); break;
    case kEffects:
        session->SetEffectsVolume(next(now.effectsVolume));
        sample.Play();  // the new level, heard
        break;
    case kMute: session->SetMute(!now.mute); break;
    case kFullscreen: session->SetFullscreen(!now.fullscreen); break;
    case kRumble: session->SetRumble(!now.rumble); break;
    case kBoard: session->SetBoard(!now.board); break;
    case kBoardName:
    case kBoardAddress:
        if (Engine().BeginTextInput == nullptr || Engine().TypedText == nullptr) break;
        typingRow = entry;
        Engine().BeginTextInput(entry == kBoardName ? now.boardName.c_str() : now.boardAddress.c_str(),
                                static_cast<int64_t>(entry == kBoardName ? kBoardNameMax : kBoardAddressMax));
        break;
    default: break;
    }
}

bool OptionsScreen::Typing() {
    if (typingRow < 0) return false;
    const bool enter = IsPressed(KeyCount(BRISEL_KEY_RETURN)) || IsPressed(KeyCount(BRISEL_KEY_KP_ENTER));
    if (!enter && !IsPressed(KeyCount(BRISEL_KEY_ESCAPE))) return true;
    Session* session = ActiveSession();
    const char* typed = Engine().TypedText();
    if (enter && session != nullptr && typed != nullptr) {
        // What the board would refuse is left out: markup, characters beyond ASCII, blanks at the ends.
        std::string kept;
        for (const char* c = typed; *c != '\0'; ++c)
            if (*c >= 0x20 && *c <= 0x7E &&
                (typingRow == kBoardAddress || std::string_view("<>&\"'").find(*c) == std::string_view::npos))
                kept += *c;
        while (!kept.empty() && kept.back() == ' ') kept.pop_back();
        while (!kept.empty() && kept.front() == ' ') kept.erase(0, 1);
        if (typingRow == kBoardName)
            session->SetBoardName(kept.substr(0, kBoardNameMax));
        else
            session->SetBoardAddress(kept);
    }
    if (Engine().EndTextInput != nullptr) Engine().EndTextInput();
    typingRow = -1;
    return true;
}

void OptionsScreen::ShowTyped() const {
    if (Engine().OverlayText == nullptr) return;
    const Settings& s = Shown();
    for (int row : {kBoardName, kBoardAddress}) {
        std::string shown = row == kBoardName ? s.boardName : s.boardAddress;
        if (row == typingRow && Engine().TypedText != nullptr && Engine().TypedText() != nullptr)
            shown = std::string(Engine().TypedText()) + "_";
        else if (shown.empty())
            shown = row == kBoardName ? "(Enter to type one)" : "(Enter: http://...)";
        const double y = kRowY[row] + (kRowH - kTypedH) * 0.5;
        if (Engine().OverlayTextWithin != nullptr) {
            Engine().OverlayTextWithin(kTypedX, y, kTypedH, kTypedW, shown.c_str());
            continue;
        }
        if (shown.size() > kAddressShown) shown = "..." + shown.substr(shown.size() - kAddressShown);
        Engine().OverlayText(kTypedX, y, kTypedH, shown.c_str());
    }
}

void OptionsScreen::Draw() const {
    DrawRect(0, 0, 1600, 900, 0, 0, 0, 0.7);
    text.DrawText("Options", kRowX, 24, 45, 90, 1.0);
    const Settings& s = Shown();
    const std::string values[kEntryCount] = {VolumeText(s.musicVolume),
                                             VolumeText(s.effectsVolume),
                                             SwitchText(s.mute),
                                             SwitchText(s.fullscreen),
                                             SwitchText(s.rumble),
                                             SwitchText(s.board),
                                             "",
                                             "",
                                             "",
                                             ""};
    for (int i = 0; i < kEntryCount; ++i) {
        if (i == kControls) continue;  // on the card, drawn over it
        const Button& b = entries[static_cast<size_t>(i)];
        b.Draw();
        const double y = kRowY[i] + (kRowH - kGlyphH) * 0.5;
        if (i == kBack) {
            const std::string label = kLabels[i];
            text.DrawText(label, kRowX + (kBackW - kGlyphW * static_cast<double>(label.size())) * 0.5, y,
                          kGlyphW, kGlyphH, 1.0);
            continue;
        }
        text.DrawText(kLabels[i], kRowX + 24, y, kGlyphW, kGlyphH, 1.0);
        text.DrawText(values[i], kValueX, y, kGlyphW, kGlyphH, 1.0);
    }
    DrawRect(kCardX, kCardY, kCardW, kCardH, 0, 0, 0, 0.5);
    text.DrawText("Controls", kCardX + 24, kCardY + 14, 26, 52, 1.0);
    for (size_t i = 0; i < cardCount; ++i) {
        const CardLine& line = card[i];
        line.tex.Draw(0, 0, line.tex.Width(), line.tex.Height(), line.x, line.y, 1, 1, 1, 1);
    }
    footnote.Draw(0, 0, footnote.Width(), footnote.Height(), kColumnX[0], kCardY + kCardH - 50, 1, 1, 1, 0.7);
    entries[kControls].Draw();
    const std::string label = kLabels[kControls];
    text.DrawText(label, kChangeX + (kChangeW - kChangeGlyphW * static_cast<double>(label.size())) * 0.5,
                  kChangeY + (kChangeH - kChangeGlyphH) * 0.5, kChangeGlyphW, kChangeGlyphH, 1.0);
    ShowTyped();
}

void InitOptionsEntry(Button& entry) {
    entry.InitColors();
    entry.SetRect(kEntryX, kEntryY, kEntryW, kEntryH);
}

void DrawOptionsEntry(const Button& entry, const BitmapFont& font) {
    entry.Draw();
    constexpr const char* kCaption = "Options";
    font.DrawText(kCaption, kEntryX + (kEntryW - 7 * kEntryGlyphW) * 0.5,
                  kEntryY + (kEntryH - 2 * kEntryGlyphW) * 0.5, kEntryGlyphW, 2 * kEntryGlyphW, 1.0);
}

void RunOptions(const std::function<void()>& drawBehind) {
    // The card's lines are textures: made when the screen opens, released when it closes.
    auto screen = std::make_unique<OptionsScreen>();
    screen->Run(drawBehind);
}

}  // namespace grappix
