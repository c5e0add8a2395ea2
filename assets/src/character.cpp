// The runner: a small figure in one strong red, with a long scarf that carries the motion.
// Every pose is a skeleton (hip, torso, two-segment limbs) drawn with thick rounded strokes
// over a dark outline, so all frames share one style and proportions.
//
// Cells are 256 texels, drawn 200 x 200 world pixels with the body centre in the middle.
// Standing poses put the soles on the feet line (layout.hpp); airborne poses keep the top
// of the figure within the headroom the roof leaves above the body centre.
#include <algorithm>
#include <cmath>
#include <vector>

#include "layout.hpp"
#include "pictures.hpp"

namespace gx {

namespace {

struct P {
    double x, y;
};
P operator+(P a, P b) { return {a.x + b.x, a.y + b.y}; }
P operator*(P a, double k) { return {a.x * k, a.y * k}; }

// Unit vector of an angle measured from straight down, positive toward the facing (+x).
P Down(double a) { return {std::sin(a), std::cos(a)}; }

// Limb angles are absolute: 0 hangs straight down, +pi/2 points forward, pi straight up.
struct Limb {
    double upper, lower;
};

enum class Place { Feet, Top, BackAt, FrontAt };

struct Pose {
    double lean = 0.05;   // torso tilt, + forward
    double headTilt = 0;  // + looks down
    Limb backArm{-0.15, 0.15}, frontArm{0.15, 0.5};
    Limb backLeg{-0.1, -0.1}, frontLeg{0.12, 0.1};
    double breath = 0;         // shoulders rise by this many texels
    double scarfAngle = -0.9;  // scarf streams back; + lifts it, - lets it hang
    double scarfWave = 0;      // flutter phase
    double scarfLen = 1.0;
    double scarfSway = 12;  // flutter amplitude across the scarf
    Place place = Place::Feet;
    double placeAt = 0;  // x of the wall for BackAt / FrontAt
};

// Proportions in texels: a figure about 150 texels (117 px) tall.
constexpr double kTorso = 40, kNeck = 6, kHead = 19, kThigh = 31, kShin = 31;
constexpr double kUpperArm = 24, kForearm = 23, kFoot = 11;
constexpr double kLegW = 14.5, kArmW = 11.5, kTorsoW = 30, kOutline = 3.5;

struct Skeleton {
    P hip, shoulder, head;
    P elbow[2], hand[2], knee[2], ankle[2], toe[2];  // 0 back, 1 front
};

Skeleton Build(const Pose& p, P hip) {
    Skeleton s;
    s.hip = hip;
    s.shoulder = hip + P{std::sin(p.lean) * kTorso, -std::cos(p.lean) * kTorso - p.breath};
    double ha = p.lean + p.headTilt;
    s.head = s.shoulder + P{std::sin(ha) * (kNeck + kHead), -std::cos(ha) * (kNeck + kHead)};
    const Limb arms[2] = {p.backArm, p.frontArm};
    const Limb legs[2] = {p.backLeg, p.frontLeg};
    for (int i = 0; i < 2; ++i) {
        P sh = s.shoulder + P{i ? 3.0 : -3.0, 2};
        s.elbow[i] = sh + Down(arms[i].upper) * kUpperArm;
        s.hand[i] = s.elbow[i] + Down(arms[i].lower) * kForearm;
        P hp = hip + P{i ? 2.0 : -2.0, 0};
        s.knee[i] = hp + Down(legs[i].upper) * kThigh;
        s.ankle[i] = s.knee[i] + Down(legs[i].lower) * kShin;
        // The foot points forward, square to the shin.
        s.toe[i] = s.ankle[i] + P{std::cos(legs[i].lower), -std::sin(legs[i].lower)} * kFoot;
    }
    return s;
}

struct Box {
    double x0, y0, x1, y1;
};

Box Bounds(const Skeleton& s) {
    Box b{1e9, 1e9, -1e9, -1e9};
    auto add = [&](P q, double r) {
        b.x0 = std::min(b.x0, q.x - r);
        b.y0 = std::min(b.y0, q.y - r);
        b.x1 = std::max(b.x1, q.x + r);
        b.y1 = std::max(b.y1, q.y + r);
    };
    add(s.head, kHead + kOutline);
    add(s.hip, kTorsoW / 2 + kOutline);
    add(s.shoulder, kTorsoW / 2 + kOutline);
    for (int i = 0; i < 2; ++i) {
        add(s.hand[i], 6 + kOutline);
        add(s.elbow[i], kArmW / 2 + kOutline);
        add(s.knee[i], kLegW / 2 + kOutline);
        add(s.ankle[i], 5.5 + kOutline);
        add(s.toe[i], 5.5 + kOutline);
    }
    return b;
}

// Where the skeleton goes in its cell, from the pose's placement rule.
Skeleton Placed(const Pose& p) {
    const double c = stage::kCellCentre;
    Skeleton s = Build(p, {0, 0});
    Box b = Bounds(s);
    P hip{c, c};
    switch (p.place) {
    case Place::Feet: {
        // Only the soles count for standing, not the outline of the knees.
        double sole = -1e9;
        for (int i = 0; i < 2; ++i)
            sole = std::max({sole, s.ankle[i].y + 5.5 + kOutline, s.toe[i].y + 5.5 + kOutline});
        hip = {c, c + stage::kFeetBelowCentre - sole};
        break;
    }
    case Place::Top: hip = {c - (s.hip.x + s.shoulder.x) / 2, c - stage::kHeadroom - b.y0}; break;
    case Place::BackAt:  // whatever reaches furthest back touches the wall
        hip = {p.placeAt - b.x0, c - (b.y0 + b.y1) / 2};
        break;
    case Place::FrontAt: hip = {p.placeAt - b.x1, c - (b.y0 + b.y1) / 2}; break;
    }
    // Keep the whole figure inside its cell.
    Box moved{b.x0 + hip.x, b.y0 + hip.y, b.x1 + hip.x, b.y1 + hip.y};
    if (moved.y1 > 252) hip.y -= moved.y1 - 252;
    if (moved.y0 < 4) hip.y += 4 - moved.y0;
    return Build(p, hip);
}

const Rgba kSuit = Hex(0xcc2433), kSuitBack = Hex(0x8c1626), kScarf = Hex(0xff5236);
const Rgba kScarfBack = Hex(0xb5202c), kBoot = Hex(0x2c2430), kSkin = Hex(0xf2c6a0);

void Segment(cairo_t* cr, P a, P b, double width, const Rgba& col, bool outline = true) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    if (outline) {
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
        SetColor(cr, kInk);
        cairo_set_line_width(cr, width + 2 * kOutline);
        cairo_stroke(cr);
    }
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    SetColor(cr, col);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void Limb2(cairo_t* cr, P a, P b, P c, double width, const Rgba& col) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (int pass = 0; pass < 2; ++pass) {
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
        cairo_line_to(cr, c.x, c.y);
        SetColor(cr, pass ? col : kInk);
        cairo_set_line_width(cr, pass ? width : width + 2 * kOutline);
        cairo_stroke(cr);
    }
}

void Dot(cairo_t* cr, P q, double r, const Rgba& col) {
    cairo_arc(cr, q.x, q.y, r, 0, 2 * kPi);
    FillAndOutline(cr, col, 2 * kOutline * 0.8);
}

// A tapered ribbon streaming back from the neck, waving along its length.
void Scarf(cairo_t* cr, P root, double angle, double wave, double length, double width, double sway,
           const Rgba& col) {
    P d{-std::cos(angle), -std::sin(angle)};  // back (-x), lifted by angle
    P n{-d.y, d.x};
    const int N = 24;
    std::vector<P> left, right;
    for (int i = 0; i <= N; ++i) {
        double s = static_cast<double>(i) / N;
        double off = sway * s * std::sin(2 * kPi * 1.1 * s + wave);
        P c = root + d * (length * s) + n * off;
        double w = width * (1.0 - 0.45 * s);
        left.push_back(c + n * (w / 2));
        right.push_back(c + n * (-w / 2));
    }
    cairo_move_to(cr, left[0].x, left[0].y);
    for (const P& q : left) cairo_line_to(cr, q.x, q.y);
    // Forked tip.
    P tip = root + d * (length * 0.93) + n * (sway * 0.93 * std::sin(2 * kPi * 1.1 * 0.93 + wave));
    cairo_line_to(cr, tip.x, tip.y);
    for (auto it = right.rbegin(); it != right.rend(); ++it) cairo_line_to(cr, it->x, it->y);
    cairo_close_path(cr);
    FillAndOutline(cr, col, 2 * kOutline * 0.85);
}

void DrawFigure(cairo_t* cr, const Pose& p) {
    Skeleton s = Placed(p);
    P neck = s.shoulder + P{2 * std::sin(p.lean), 3};

    // Scarf first: it trails behind everything.
    Scarf(cr, neck, p.scarfAngle - 0.25, p.scarfWave + 1.7, 64 * p.scarfLen, 13, p.scarfSway, kScarfBack);
    Scarf(cr, neck, p.scarfAngle, p.scarfWave, 100 * p.scarfLen, 18, p.scarfSway, kScarf);

    // Far limbs in shadow.
    Limb2(cr, s.shoulder + P{-3, 2}, s.elbow[0], s.hand[0], kArmW, kSuitBack);
    Dot(cr, s.hand[0], 5.5, kBoot);
    Limb2(cr, s.hip + P{-2, 0}, s.knee[0], s.ankle[0], kLegW, kSuitBack);
    Segment(cr, s.ankle[0], s.toe[0], 11, kBoot);

    // Torso, lit from the upper left.
    Segment(cr, s.hip, s.shoulder, kTorsoW, kSuit);
    P side{-std::cos(p.lean), -std::sin(p.lean)};
    Segment(cr, s.hip + side * 7 + P{0, -3}, s.shoulder + side * 7, 6, Shade(kSuit, 0.3), false);
    // Belt.
    P across{std::cos(p.lean), std::sin(p.lean)};
    P belt = s.hip + P{std::sin(p.lean), -std::cos(p.lean)} * 4;
    Segment(cr, belt + across * -12, belt + across * 12, 6, kBoot, false);

    // Head: red hood, face toward +x, one eye.
    cairo_arc(cr, s.head.x, s.head.y, kHead, 0, 2 * kPi);
    FillAndOutline(cr, kSuit, 2 * kOutline);
    double ha = p.lean + p.headTilt;
    P fwd{std::cos(ha), std::sin(ha)}, up{std::sin(ha), -std::cos(ha)};
    P face = s.head + fwd * 6 + up * -1;
    cairo_save(cr);
    cairo_arc(cr, s.head.x, s.head.y, kHead - 1.5, 0, 2 * kPi);
    cairo_clip(cr);
    cairo_save(cr);
    cairo_translate(cr, face.x, face.y);
    cairo_rotate(cr, ha);
    cairo_scale(cr, 12, 11);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    SetColor(cr, kSkin);
    cairo_fill(cr);
    cairo_restore(cr);
    P eye = s.head + fwd * 10 + up * 1.5;
    cairo_save(cr);
    cairo_translate(cr, eye.x, eye.y);
    cairo_rotate(cr, ha);
    cairo_scale(cr, 2.6, 4.2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    SetColor(cr, kInk);
    cairo_fill(cr);
    cairo_arc(cr, s.head.x - 6, s.head.y - 7, 4, 0, 2 * kPi);  // shine
    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_fill(cr);
    // The scarf wraps the neck and knots behind it.
    Segment(cr, s.shoulder + across * -11 + P{0, -4}, s.shoulder + across * 11 + P{0, -4}, 10, kScarf);
    Dot(cr, neck + P{-6, -2}, 7, kScarf);

    // Near limbs.
    Limb2(cr, s.hip + P{2, 0}, s.knee[1], s.ankle[1], kLegW, kSuit);
    Segment(cr, s.ankle[1], s.toe[1], 11, kBoot);
    Limb2(cr, s.shoulder + P{3, 2}, s.elbow[1], s.hand[1], kArmW, kSuit);
    Dot(cr, s.hand[1], 5.5, kBoot);
}

// Draws a pose into the 256-texel cell at (cx, cy). `preRotate` is undone by the game's
// own rotation of that frame, `mirror` flips the pose to face left.
void DrawCell(cairo_t* cr, int cx, int cy, const Pose& p, double preRotate = 0, bool mirror = false) {
    cairo_save(cr);
    cairo_rectangle(cr, cx, cy, 256, 256);
    cairo_clip(cr);
    cairo_translate(cr, cx + 128, cy + 128);
    if (mirror) cairo_scale(cr, -1, 1);
    cairo_rotate(cr, preRotate);
    cairo_translate(cr, -128, -128);
    DrawFigure(cr, p);
    cairo_restore(cr);
}

Pose Standing(int frame) {
    Pose p;
    const double breath[3] = {0, 1.5, 3};
    p.breath = breath[frame];
    p.frontArm = {0.15 + 0.04 * frame, 0.5 + 0.05 * frame};
    p.backArm = {-0.15 - 0.03 * frame, 0.1};
    p.scarfAngle = -0.55 + 0.08 * frame;
    p.scarfWave = 0.6 * frame;
    return p;
}

Pose Running(int frame) {
    // Contact, passing, contact with the other leg, passing: a four-frame cycle.
    Pose p;
    p.lean = 0.12;
    const Limb stride{0.65, 0.4}, push{-0.5, -1.0}, support{0.1, -0.2}, swing{0.85, -0.35};
    const Limb armFwd{0.8, 2.3}, armBack{-0.75, 0.6}, armMid{0.1, 1.5};
    switch (frame) {
    case 0:
        p.frontLeg = stride;
        p.backLeg = push;
        p.frontArm = armBack;
        p.backArm = armFwd;
        break;
    case 1:
        p.frontLeg = support;
        p.backLeg = swing;
        p.frontArm = armMid;
        p.backArm = {0.3, 1.7};
        break;
    case 2:
        p.backLeg = stride;
        p.frontLeg = push;
        p.backArm = armBack;
        p.frontArm = armFwd;
        break;
    default:
        p.backLeg = support;
        p.frontLeg = swing;
        p.backArm = armMid;
        p.frontArm = {0.3, 1.7};
        break;
    }
    p.scarfAngle = 0.1 + 0.06 * (frame % 2);
    p.scarfWave = frame * kPi / 2;
    p.scarfLen = 1.05;
    return p;
}

Pose Airborne(int frame) {
    Pose p;
    p.lean = 0.22;
    double f = std::sin(frame * kPi / 2) * 0.08;
    p.frontLeg = {1.35 + f, 0.05};
    p.backLeg = {0.85 - f, -0.45};
    p.frontArm = {1.3 - f, 2.1};
    p.backArm = {-1.0 + f, -0.3};
    p.scarfAngle = 0.12;
    p.scarfWave = frame * kPi / 2;
    p.place = Place::Top;
    return p;
}

Pose Jumping(int frame) {
    Pose p;
    switch (frame) {
    case 0:  // crouched, gathering the spring
        p.lean = 0.38;
        p.frontLeg = {1.25, -0.35};
        p.backLeg = {0.95, -0.75};
        p.frontArm = {-1.0, -0.3};
        p.backArm = {-1.25, -0.6};
        p.scarfAngle = 0.2;
        break;
    case 1:  // springing, arms swinging up
        p.lean = 0.15;
        p.frontLeg = {0.3, 0.0};
        p.backLeg = {-0.35, -0.55};
        p.frontArm = {2.1, 2.7};
        p.backArm = {1.7, 2.3};
        p.scarfAngle = -0.4;
        break;
    case 2:  // stretched out
        p.lean = 0.02;
        p.frontLeg = {-0.08, -0.15};
        p.backLeg = {-0.28, -0.4};
        p.frontArm = {2.8, 3.0};
        p.backArm = {2.6, 2.9};
        p.scarfAngle = -0.7;
        break;
    default:  // knees coming up again
        p.lean = 0.2;
        p.frontLeg = {0.9, 0.15};
        p.backLeg = {0.45, -0.35};
        p.frontArm = {1.5, 1.95};
        p.backArm = {1.0, 1.45};
        p.scarfAngle = -0.2;
        break;
    }
    p.scarfWave = frame * kPi / 2;
    p.place = Place::Top;
    return p;
}

Pose Reeling(int frame) {
    // Hand over hand toward the hook, ahead and above.
    Pose p;
    p.lean = 0.45;
    p.headTilt = -0.2;
    const Limb reach{1.95, 2.1}, pull{1.3, 2.55};
    bool a = frame < 2;
    p.frontArm = a ? reach : pull;
    p.backArm = a ? pull : reach;
    double f = (frame % 2) * 0.08;
    p.frontLeg = {-0.15 + f, -0.4};
    p.backLeg = {-0.45 - f, -0.75};
    p.scarfAngle = -0.55;
    p.scarfWave = frame * kPi / 2;
    p.scarfLen = 1.1;
    p.place = Place::Top;
    return p;
}

Pose ClingWallBehind() {
    // Back flat on a wall on the left, one hand gripping above, sliding down: scarf lifts.
    Pose p;
    p.lean = -0.04;
    p.backArm = {-2.95, -2.8};
    p.frontArm = {0.55, 1.5};
    p.backLeg = {0.12, -0.12};
    p.frontLeg = {0.95, 0.15};
    p.scarfAngle = 1.85;  // up, and away from the wall behind
    p.scarfWave = 0.8;
    p.scarfSway = 5;
    p.place = Place::BackAt;
    p.placeAt = stage::kCellCentre - stage::kWallFromCentre;
    return p;
}

Pose ClingWallAhead() {
    // Chest, hands and knees flat on a wall on the right.
    Pose p;
    p.lean = 0.0;
    p.frontArm = {2.95, 3.0};
    p.backArm = {2.55, 2.95};
    p.frontLeg = {0.1, -0.35};
    p.backLeg = {-0.12, -0.45};
    p.scarfAngle = 1.3;
    p.scarfWave = 2.0;
    p.scarfSway = 5;
    p.place = Place::FrontAt;
    p.placeAt = stage::kCellCentre + stage::kWallFromCentre;
    return p;
}

}  // namespace

Canvas DrawCharacter() {
    using namespace layout;
    Canvas c(kRunnerSheet.width, kRunnerSheet.height);
    cairo_t* cr = c.cr();
    const double runLean = kPi / 10;    // the game tilts the right-running frames by this
    const double clingTilt = kPi / 20;  // and the wall-on-the-right frame back by this

    for (int i = 0; i < 3; ++i) DrawCell(cr, kStand[i].x, kStand[i].y, Standing(i));
    for (int i = 0; i < 4; ++i) DrawCell(cr, kReel[i].x, kReel[i].y, Reeling(i));
    for (int i = 0; i < 4; ++i) DrawCell(cr, kAir[i].x, kAir[i].y, Airborne(i));
    // Running left is the right-running cycle tilted as the game tilts it, then mirrored:
    // the game draws it without a tilt of its own.
    for (int i = 0; i < 4; ++i) DrawCell(cr, kRunLeft[i].x, kRunLeft[i].y, Running(i), runLean, true);
    for (int i = 0; i < 4; ++i) DrawCell(cr, kRunRight[i].x, kRunRight[i].y, Running(i));
    DrawCell(cr, kClingWallLeft.x, kClingWallLeft.y, ClingWallBehind());
    DrawCell(cr, kClingWallRight.x, kClingWallRight.y, ClingWallAhead(), clingTilt);
    for (int i = 0; i < 4; ++i) DrawCell(cr, kJump[i].x, kJump[i].y, Jumping(i));
    return c;
}

}  // namespace gx
