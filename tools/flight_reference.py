#!/usr/bin/env python3
"""Expected checkpoints of one scripted flight, worked out from the game's rules alone.

This is an independent re-statement of how the player's body moves (the wire, the swing
correction, reeling, gravity, friction and the ground and roof lines), written from the
rules as the game describes them, not from the C++ code. tests/world_flight_test.cpp runs
the same script through the real World and compares its checkpoints with the table this
prints (paste the output there when the rules change on purpose).

Stage: the "No Block" mode, ground line y = -100, roof line y = -850, one Update a frame
(dt = 1), then the ground-and-roof test. Python's float is the same IEEE double the game
uses; math.atan2, cos, sin and hypot stand for the engine's InvRot, Cos, Sin and Hypot.

Usage: python3 tools/flight_reference.py
"""

import math

PI = 3.14159265358979
R = 40.0
GRAVITY = 0.5
STOP_SPEED = 0.5
REEL_SPEED = 20.0
JUMP_SPEED = 8.0
HOOK_SPEED = 60.0
GROUND_Y = -100.0
ROOF_Y = -850.0
TICKS = 10

# Frame number -> commands given before that frame's Update, in the scene's order (reel
# press, reel held, shoot, reel release, shoot release, jump).
SCRIPT = {
    1: [("fire", 500.0, -900.0)],    # shoot at the roof, up and to the right
    30: [("reel",)],                 # reel button pressed (held until frame 41)
    42: [("drop",)],                 # reel button released: let go of the wire
    43: [("release",)],              # shoot button released
    160: [("jump",)],
    230: [("fire", 1900.0, 0.0)],    # a shot into the ground ahead, reel button already held
    252: [("release",)],
}
# Frames in which the reel button is down (the scene marks it held every such frame).
REEL_HELD = set(range(30, 42)) | set(range(226, 245))
FRAMES = 300
CHECKPOINTS = [1, 6, 11, 12, 20, 29, 30, 31, 41, 42, 43, 60, 80, 100, 102, 103, 120, 132, 133,
               159, 160, 161, 175, 200, 229, 230, 231, 236, 240, 252, 253, 270, 300]


class Flight:
    def __init__(self):
        self.x, self.y = -200.0, -500.0
        self.mx, self.my = 10.0, -10.0
        self.move_state = 2
        self.wire_state = 0
        self.hook_x = self.hook_y = 0.0
        self.hook_vx = self.hook_vy = 0.0
        self.wire_len = 0.0
        self.jump_wait = 0
        self.clock = 0
        self.reel_held = False
        self.sounds = []  # (frame, name)
        self.frame = 0

    def direction_to(self, tx, ty):
        return math.atan2(self.y - ty, self.x - tx) + PI

    def play(self, name):
        self.sounds.append((self.frame, name))

    # ---- commands ----
    def fire(self, tx, ty):
        a = self.direction_to(tx, ty)
        self.hook_vx = HOOK_SPEED * math.cos(a)
        self.hook_vy = HOOK_SPEED * math.sin(a)
        self.hook_x, self.hook_y = self.x, self.y
        self.wire_state = 1
        self.play("shot")

    def attach(self, hx, hy):
        self.hook_x, self.hook_y = hx, hy
        self.hook_vx = self.hook_vy = 0.0
        self.wire_len = math.hypot(self.x - hx, self.y - hy)
        self.wire_state = 2
        self.play("hit")
        if self.reel_held:
            self.reel()

    def release(self):
        self.hook_x, self.hook_y = self.x, self.y
        self.hook_vx = self.hook_vy = 0.0
        self.wire_state = 0
        self.move_state = 3

    def reel(self):
        if self.wire_state not in (2, 3):
            return
        a = self.direction_to(self.hook_x, self.hook_y)
        self.mx, self.my = REEL_SPEED * math.cos(a), REEL_SPEED * math.sin(a)
        self.wire_state = 3
        self.move_state = 4

    def drop(self):
        self.move_state = 3
        self.wire_state = 0

    def jump(self):
        if self.move_state in (0, 1) and self.jump_wait == 0:
            self.my = -JUMP_SPEED
            self.jump_wait = 60
            self.move_state = 2

    # ---- one frame ----
    def update(self):
        taut = False
        if self.move_state == 1:
            self.mx += -STOP_SPEED if self.mx > 0 else STOP_SPEED
            if math.hypot(self.mx, self.my) <= STOP_SPEED:
                self.mx = self.my = 0.0
                self.clock = 0
                self.move_state = 0
            if self.clock % (30 * TICKS) == 0:
                self.play("step")
        elif self.move_state in (2, 3, 5, 6):
            self.my += GRAVITY

        if self.wire_state == 0:
            self.hook_x, self.hook_y = self.x, self.y
        elif self.wire_state == 1:
            self.hook_x += self.hook_vx
            self.hook_y += self.hook_vy
        elif self.wire_state == 2:
            d = math.hypot(self.x - self.hook_x + self.mx, self.y - self.hook_y + self.my)
            if d > self.wire_len:
                a = self.direction_to(self.hook_x, self.hook_y)
                kx, ky = math.cos(a), math.sin(a)
                p = self.mx * kx + self.my * ky
                self.mx -= p * kx
                p = self.mx * kx + self.my * ky   # with the corrected x
                self.my -= p * ky
                taut = True
        elif self.wire_state == 3:
            a = self.direction_to(self.hook_x, self.hook_y)
            self.mx, self.my = REEL_SPEED * math.cos(a), REEL_SPEED * math.sin(a)
            if math.hypot(self.x - self.hook_x, self.y - self.hook_y) < 2 * R:
                self.release()
            if self.clock % (5 * TICKS) == 0:
                self.play("reel")

        if self.jump_wait > 0:
            self.jump_wait -= 1
        self.clock += TICKS
        self.x += self.mx
        self.y += self.my

        if self.wire_state == 2:
            self.move_state = 5 if taut else (2 if self.move_state == 2 else 3)
        elif self.wire_state == 3:
            self.move_state = 4
        else:
            self.move_state = 2 if self.move_state == 2 else 3

    def ground_and_roof(self):
        if self.y >= GROUND_Y - R:
            self.y = GROUND_Y - R
            self.my = 0.0
            if self.move_state not in (0, 1):
                self.move_state = 1
                if math.hypot(self.mx, self.my) <= STOP_SPEED:
                    self.move_state = 0
        elif self.y <= ROOF_Y + R:
            self.y = ROOF_Y + R
            self.my = 0.0
        if self.hook_y > GROUND_Y + R and self.wire_state == 1:
            self.attach(self.hook_x, GROUND_Y + R)
        elif self.hook_y < ROOF_Y and self.wire_state == 1:
            self.attach(self.hook_x, ROOF_Y)


def main():
    f = Flight()
    rows = []
    for frame in range(1, FRAMES + 1):
        f.frame = frame
        cmds = SCRIPT.get(frame, [])
        for cmd in cmds:
            if cmd[0] == "reel":
                f.reel()
        if frame in REEL_HELD:
            f.reel_held = True
        for cmd in cmds:
            if cmd[0] == "fire":
                f.fire(cmd[1], cmd[2])
            elif cmd[0] == "drop":
                f.drop()
            elif cmd[0] == "release":
                f.release()
            elif cmd[0] == "jump":
                f.jump()
        f.update()
        f.ground_and_roof()
        f.reel_held = False
        if frame in CHECKPOINTS:
            rows.append((frame, f.x, f.y, f.mx, f.my, f.move_state, f.wire_state,
                         f.hook_x, f.hook_y))
    print("// frame, x, y, mx, my, moveState, wireState, hookX, hookY")
    for r in rows:
        print("    {%d, %.9f, %.9f, %.9f, %.9f, %d, %d, %.9f, %.9f}," % r)
    print("// sounds (frame, name)")
    print("    " + " ".join("{%d, \"%s\"}," % s for s in f.sounds))


if __name__ == "__main__":
    main()
