#include "game/game_scene.hpp"

#include <memory>
#include <string>

#include "blocks/block_field.hpp"
#include "common/backdrop.hpp"
#include "common/bitmap_font.hpp"
#include "common/button.hpp"
#include "common/camera.hpp"
#include "common/mouse_input.hpp"
#include "frame/media.hpp"
#include "game/hud.hpp"
#include "game/pad_input.hpp"
#include "game/world.hpp"

namespace grappix {

namespace {

constexpr int64_t kOpeningFrames = 101;  // "Start!" shows on frames 0 to 100
constexpr double kFollowDistance = 700;  // the camera follows a body further right than this
constexpr int64_t kBlinkPeriod = 30;     // frames per blink of "PAUSE"
constexpr double kMarkerHalf = 50;       // half size of the free-style catch marker

// Pad buttons of play.
constexpr int64_t kPadJump = 0;
constexpr int64_t kPadShoot = 1;
constexpr int64_t kPadReel = 2;
constexpr int64_t kPadPause = 3;

// The catch rectangle of "Free Style": it follows the shots, and waits below the ground line
// between them.
struct CatchRect {
    double x = 0, y = 100, w = 100, h = 100;
};

// Everything one game owns, created in this order and released together when it ends.
class GameScene {
public:
    explicit GameScene(GameMode playMode) : mode(playMode) {
        text.LoadDefault();
        resumeButton.InitColors();
        resumeButton.SetRect(400, 500, 800, 100);
        titleButton.InitColors();
        titleButton.SetRect(400, 620, 800, 100);
        world.Configure(10, -100, -850);
        world.Setup(0, -900, 1600, 900);
        backdrop.Configure(0, -900, -100, -850, mode != GameMode::FreeStyle);
        backdrop.LoadSheets(0, -900, 1600, 900);
        blocks.Generate();
        blocks.LoadSheet(0, -900, 1600, 900);
        camera.Init(0, -900);
        hud.Prepare();
        hud.Setup();
        mouse.Init();
        pad.Prepare();
        music.Load("chaser3.ogg", 0.5, true);
        music.Play();
    }

    void Run() {
        Opening();
        for (;;) {
            if (!PlayFrame()) return;
        }
    }

private:
    double MouseWorldX() { return camera.GetX() + mouse.GetX(); }
    double MouseWorldY() { return camera.GetY() + mouse.GetY(); }

    // "Start!": the stage stands still for 101 frames and takes no input but the cursor.
    void Opening() {
        for (int64_t i = 0; i < kOpeningFrames; ++i) {
            NextFrame();
            mouse.Update();
            backdrop.Draw(camera.GetX(), camera.GetY());
            if (mode == GameMode::Normal) blocks.Draw(camera.GetX(), camera.GetY());
            world.Draw(MouseWorldX(), MouseWorldY(), camera.GetX(), camera.GetY());
            text.DrawText("Start!", 500, 250, 100, 200, 1.0);
        }
    }

    // One frame of play; false when the player leaves for the title.
    bool PlayFrame() {
        NextFrame();
        mouse.Update();
        pad.Update();

        // Commands. Mouse and pad are alternatives for each: the pad is asked only when the
        // mouse did not give the command.
        if (mouse.RightPressed() || pad.Pressed(kPadReel)) world.Reel();
        if (mouse.RightHeld() || pad.Held(kPadReel)) world.SetReelHeld();
        if (mouse.LeftPressed() || pad.Pressed(kPadShoot)) {
            world.Fire(MouseWorldX(), MouseWorldY());
            catchRect.x = MouseWorldX() - catchRect.w * 0.5;
            catchRect.y = MouseWorldY() - catchRect.h * 0.5;
        }
        if (mouse.RightReleased() || pad.Released(kPadReel)) world.Drop();
        if (mouse.LeftReleased() || pad.Released(kPadShoot)) {
            world.Release();
            catchRect.x = 0;
            catchRect.y = 100;
        }
        if (mouse.MiddleReleased() || pad.Pressed(kPadJump)) {
            // Kicks are tried against every block in every mode (the first kick blocks the
            // rest and the plain jump); the blocks exist even where they are not shown.
            for (int64_t i = 0; i < blocks.GetCount(); ++i)
                world.WallKick(blocks.GetBlockX(i), blocks.GetBlockY(i), blocks.GetBlockW(i),
                               blocks.GetBlockH(i));
            world.Jump();
        }
        if (pad.Pressed(kPadPause)) {
            if (Pause()) return false;
        }

        // The camera follows the body to the right only, never left or vertically.
        if (world.GetBodyX() - camera.GetX() > kFollowDistance)
            camera.SetPos(world.GetBodyX() - kFollowDistance, camera.GetY());
        blocks.Recycle(world.GetBodyX());
        world.Update(10);
        hud.Update(world.GetBodyX());

        if (mode == GameMode::Normal) {
            for (int64_t i = 0; i < blocks.GetCount(); ++i) {
                double bx = blocks.GetBlockX(i), by = blocks.GetBlockY(i);
                double bw = blocks.GetBlockW(i), bh = blocks.GetBlockH(i);
                world.CollideBlock(bx, by, bw, bh);
                world.CatchBlock(bx, by, bw, bh);
            }
            world.CollideGroundRoof();
        } else if (mode == GameMode::FreeStyle) {
            world.CatchBlock(catchRect.x, catchRect.y, catchRect.w, catchRect.h);
            world.CollideGround();
        } else {
            world.CollideGroundRoof();
        }
        world.ClearReelHeld();

        backdrop.Draw(camera.GetX(), camera.GetY());
        if (mode == GameMode::Normal) blocks.Draw(camera.GetX(), camera.GetY());
        if (mode == GameMode::FreeStyle)
            world.DrawFreeMarker(kMarkerHalf, catchRect.x + catchRect.w * 0.5,
                                 catchRect.y + catchRect.h * 0.5, camera.GetX(), camera.GetY());
        world.Draw(MouseWorldX(), MouseWorldY(), camera.GetX(), camera.GetY());
        hud.Draw();
        return true;
    }

    void DrawFrozenGame() {
        backdrop.Draw(camera.GetX(), camera.GetY());
        if (mode == GameMode::Normal) blocks.Draw(camera.GetX(), camera.GetY());
        world.Draw(MouseWorldX(), MouseWorldY(), camera.GetX(), camera.GetY());
        hud.Draw();
    }

    // The pause screen: nothing of the world moves; true when the player picks "Return Title".
    bool Pause() {
        DrawFrozenGame();
        for (;;) {
            NextFrame();
            mouse.Update();
            pad.Update();
            if (pad.Pressed(kPadPause)) return false;
            if (mouse.LeftReleased() && resumeButton.Contains(mouse.GetX(), mouse.GetY())) return false;
            if (mouse.LeftReleased() && titleButton.Contains(mouse.GetX(), mouse.GetY())) return true;
            if (FrameCount() % kBlinkPeriod == 0) blinkOn = !blinkOn;
            resumeButton.UpdateHover(mouse.GetX(), mouse.GetY());
            titleButton.UpdateHover(mouse.GetX(), mouse.GetY());
            DrawFrozenGame();
            DrawRect(0, 0, 1600, 900, 0, 0, 0, 0.5);
            resumeButton.Draw();
            titleButton.Draw();
            text.DrawText(kResumeLabel, LabelX(kResumeLabel), 510, 40, 80, 1.0);
            text.DrawText(kTitleLabel, LabelX(kTitleLabel), 630, 40, 80, 1.0);
            if (blinkOn) text.DrawText("PAUSE", 550, 250, 100, 200, 1.0);
        }
    }

    // Labels are centred on x = 800 in 40-pixel character cells.
    static double LabelX(const std::string& label) {
        return 800 - static_cast<double>(label.size()) * 40 * 0.5;
    }

    static constexpr const char* kResumeLabel = "Return Game";
    static constexpr const char* kTitleLabel = "Return Title";

    GameMode mode;
    BitmapFont text;
    bool blinkOn = true;
    Button resumeButton;
    Button titleButton;
    World world;
    Backdrop backdrop;
    BlockField blocks;
    Camera camera;
    Hud hud;
    MouseInput mouse;
    PadInput pad;
    CatchRect catchRect;
    SoundClip music;
};

}  // namespace

void RunGame(GameMode mode) {
    // The scene is large (the world, its sprites, the backdrop); keep it off the stack.
    auto scene = std::make_unique<GameScene>(mode);
    scene->Run();
}

}  // namespace grappix
