// How the body and the flying hook settle against the stage after each Update. There is no
// shape object: every test compares the body's centre with an obstacle's edges widened by
// multiples of the radius r, and the margins differ on purpose: the body rests 2r above a
// block's top (and is still standing up to 2.2r above it) but exactly r above the ground line.
// All comparisons are strict unless written otherwise; positions are read again after every
// change.
#include "actors/moving_actor.hpp"
#include "game/world.hpp"

namespace grappix {

bool World::CollideBlock(double bx, double by, double bw, double bh) {
    const double r = kRadius;
    hitTop = hitBottom = hitRight = hitLeft = hitAny = false;

    double x = body->GetX();
    double y = body->GetY();
    if (bx - r < x && x < bx + bw + r && by - 2 * r < y && y < by + bh + r) {
        // Level with the block: a side contact; otherwise the top or the bottom.
        if (by - r * 0.5 < y && y < by + bh + r * 0.5) {
            if (x > bx + bw * 0.5)
                hitRight = true;
            else
                hitLeft = true;
        } else if (y > by + bh * 0.5) {
            hitBottom = true;
        } else {
            hitTop = true;
        }

        const double mx = body->GetMoveX();
        const double my = body->GetMoveY();
        if (hitTop) {
            // Its own fall step higher than the resting height: a slow landing stands at once,
            // a fast one falls again and lands a few frames later, slower.
            body->SetPos(x, by - 2 * r - my);
            body->SetMove(mx, 0);
        } else if (hitBottom) {
            body->SetPos(x, by + bh + r);
            body->SetMove(mx, 0);
        } else if (hitRight) {
            body->SetPos(bx + bw + r, y);
            body->SetMove(0, my);
        } else {
            body->SetPos(bx - r, y);
            body->SetMove(0, my);
        }
        hitAny = true;
        x = body->GetX();
        y = body->GetY();
    }

    // Support, with the settled position. A body pushed to a side stands exactly on the
    // standing band's strict edge, so it clings instead.
    if (bx - r < x && x < bx + bw + r && by - 2.2 * r < y && y < by + bh + r) {
        moveState = MoveState::Running;
        if (body->MoveLen() <= kStopSpeed) moveState = MoveState::Standing;
    } else if (bx - r < x && x < bx + bw + 2 * r && by - 2 * r < y && y < by + bh + r) {
        moveState = MoveState::Clinging;
        wallSide = 0;
    } else if (bx - 2 * r < x && x < bx + bw + r && by - 2 * r < y && y < by + bh + r) {
        moveState = MoveState::Clinging;
        wallSide = 1;
    }
    return false;
}

bool World::CatchBlock(double bx, double by, double bw, double bh) {
    // Only a flying hook is caught: one already caught or reeling passes untouched.
    if (bx < hookX && hookX < bx + bw && by < hookY && hookY < by + bh && wireState == WireState::Flying) {
        Attach(hookX, hookY);
        return true;
    }
    return false;
}

void World::SettleOnGround() {
    const double y = body->GetY();
    if (y >= groundY - kRadius) {
        body->SetPos(body->GetX(), groundY - kRadius);
        body->SetMove(body->GetMoveX(), 0);
        if (moveState != MoveState::Standing && moveState != MoveState::Running) {
            moveState = MoveState::Running;
            if (body->MoveLen() <= kStopSpeed) moveState = MoveState::Standing;
        }
    }
}

void World::CollideGroundRoof() {
    if (body->GetY() >= groundY - kRadius) {
        SettleOnGround();
    } else if (body->GetY() <= roofY + kRadius) {
        body->SetPos(body->GetX(), roofY + kRadius);
        body->SetMove(body->GetMoveX(), 0);
    }
    // The hook lodges r below the ground line, or on the roof line.
    if (hookY > groundY + kRadius && wireState == WireState::Flying)
        Attach(hookX, groundY + kRadius);
    else if (hookY < roofY && wireState == WireState::Flying)
        Attach(hookX, roofY);
}

void World::CollideGround() {
    SettleOnGround();
    // Without a roof the hook is fixed r above the ground line.
    if (hookY > groundY + kRadius && wireState == WireState::Flying) Attach(hookX, groundY - kRadius);
}

}  // namespace grappix
