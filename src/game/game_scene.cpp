#include "game/game_scene.hpp"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "brisel.h"
#include "common/stage.hpp"
#include "frame/board_link.hpp"
#include "frame/input.hpp"
#include "frame/replay_link.hpp"
#include "frame/session.hpp"
#include "records/record_book.hpp"

namespace grappix {

namespace {

constexpr int64_t kOpeningFrames = 101;  // "Start!" shows on frames 0 to 100
constexpr double kFollowDistance = 700;  // the camera follows a body further right than this
constexpr int64_t kBlinkPeriod = 30;     // frames per blink of "PAUSE"
constexpr double kMarkerHalf = 50;       // half size of the free-style catch marker
constexpr int64_t kCardFadeFrames = 15;  // the controls card fades out over the opening's last frames

constexpr const char* kResumeLabel = "Return Game";
constexpr const char* kTitleLabel = "Return Title";

// The records count the modes in the order of the game's modes.
static_assert(static_cast<int>(GameMode::Normal) == 0 && static_cast<int>(GameMode::NoBlock) == 1 &&
              static_cast<int>(GameMode::FreeStyle) == 2 && kRecordModes == 3);

// Labels are centred on x = 800 in 40-pixel character cells.
double LabelX(const std::string& label) { return 800 - static_cast<double>(label.size()) * 40 * 0.5; }

}  // namespace

GameScene::GameScene(GameMode playMode) : mode(playMode), records(ActiveRecords()) {
    text.LoadDefault();
    pauseEntries[kResume].InitColors();
    pauseEntries[kResume].SetRect(400, 500, 800, 100);
    pauseEntries[kToTitle].InitColors();
    pauseEntries[kToTitle].SetRect(400, 620, 800, 100);
    InitOptionsEntry(pauseEntries[kOptions]);
    using namespace stage;
    world.Configure(kTimeScale, kGroundLine, kRoofLine);
    world.Setup(kViewX, kViewY, kScreenW, kScreenH);
    backdrop.Configure(kViewX, kViewY, kGroundLine, kRoofLine, mode != GameMode::FreeStyle);
    backdrop.LoadSheets(kViewX, kViewY, kScreenW, kScreenH);
    blocks.Generate();
    blocks.LoadSheet(kViewX, kViewY, kScreenW, kScreenH);
    camera.Init(kViewX, kViewY);
    hud.Prepare();
    hud.Setup();
    card.Prepare();
    mouse.Init();
    pad.Prepare();
    music.Load("chaser3.ogg", 0.5, true);
    music.Play();
    bestLine.Begin(records != nullptr ? records->Get(static_cast<int>(mode)).best : 0);
}

void GameScene::Run() {
    Opening();
    for (;;) {
        if (!PlayFrame()) return;
    }
}

void GameScene::Opening() {
    // The aim marker shows where the mouse points: the system's pointer would hide it.
    ShowPointer(false);
    for (int64_t i = 0; i < kOpeningFrames; ++i) {
        NextFrame();
        mouse.Update();
        aim.Update(mouse.GetX(), mouse.GetY(), PadAxisValue(BRISEL_AXIS_RIGHTX),
                   PadAxisValue(BRISEL_AXIS_RIGHTY));
        awayInOpening = awayInOpening || WentAway();
        backdrop.Draw(camera.GetX(), camera.GetY());
        if (mode == GameMode::Normal) blocks.Draw(camera.GetX(), camera.GetY());
        world.Draw(AimX(), AimY(), camera.GetX(), camera.GetY());
        text.DrawText("Start!", 500, 250, 100, 200, 1.0);
        const double left = static_cast<double>(kOpeningFrames - 1 - i);
        card.Draw(ControllerInUse(), std::min(1.0, left / static_cast<double>(kCardFadeFrames)));
    }
    card = ControlsCard();  // shown only in the opening: its lettering and font go with it
}

// The order of a frame is fixed: the player's commands, the camera, the block row, the world's
// step, the speed gauge, the collisions, and the drawing of what results.
bool GameScene::PlayFrame() {
    NextFrame();
    ReadInput();
    GiveCommands(controls);
    // Losing the window pauses as the pause button does: nobody is playing any more.
    const bool away = controls.away || std::exchange(awayInOpening, false);
    if ((controls.pause || away) && Pause()) return false;
    FollowBody();
    blocks.Recycle(world.GetBodyX());
    const WireState wireBefore = world.GetWireState();
    world.Update(stage::kTimeScale);
    hud.Update(world.GetBodyX());
    const int64_t shown = hud.GetShownSpeed();
    bestLine.Update(shown);
    if (records != nullptr) records->Offer(shown);
    CollideByMode();
    RumbleOnCatch(wireBefore);
    world.ClearReelHeld();
    DrawPlay();
    return true;
}

void GameScene::ReadInput() {
    mouse.Update();
    pad.Update();
    controls = ReadControls(mouse, pad, aim);
}

void GameScene::RumbleOnCatch(WireState before) {
    constexpr double kStrength = 0.45;
    constexpr int64_t kMilliseconds = 90;
    if (before != WireState::Flying || world.GetWireState() == WireState::Flying ||
        world.GetWireState() == WireState::Stowed)
        return;
    const Session* session = ActiveSession();
    if (session != nullptr && !session->Current().rumble) return;
    RumblePads(kStrength, kMilliseconds);
}

void GameScene::GiveCommands(const Controls& c) {
    if (c.reel) world.Reel();
    if (c.reelHeld) world.SetReelHeld();
    if (c.shoot) {
        const double x = camera.GetX() + c.cursorX;
        const double y = camera.GetY() + c.cursorY;
        world.Fire(x, y);
        catchRect.x = x - catchRect.w * 0.5;
        catchRect.y = y - catchRect.h * 0.5;
    }
    if (c.letGo) world.Drop();
    if (c.takeBack) {
        world.Release();
        catchRect = CatchRect{};
    }
    if (c.jump) {
        // Kicks are tried against every block in every mode (the first kick blocks the rest
        // and the plain jump); the blocks exist even where they are not shown.
        for (int64_t i = 0; i < blocks.GetCount(); ++i)
            world.WallKick(blocks.GetBlockX(i), blocks.GetBlockY(i), blocks.GetBlockW(i),
                           blocks.GetBlockH(i));
        world.Jump();
    }
}

void GameScene::FollowBody() {
    if (world.GetBodyX() - camera.GetX() > kFollowDistance)
        camera.SetPos(world.GetBodyX() - kFollowDistance, camera.GetY());
}

void GameScene::CollideByMode() {
    switch (mode) {
    case GameMode::Normal:
        for (int64_t i = 0; i < blocks.GetCount(); ++i) {
            const double bx = blocks.GetBlockX(i), by = blocks.GetBlockY(i);
            const double bw = blocks.GetBlockW(i), bh = blocks.GetBlockH(i);
            world.CollideBlock(bx, by, bw, bh);
            world.CatchBlock(bx, by, bw, bh);
        }
        world.CollideGroundRoof();
        break;
    case GameMode::FreeStyle:
        world.CatchBlock(catchRect.x, catchRect.y, catchRect.w, catchRect.h);
        world.CollideGround();
        break;
    case GameMode::NoBlock: world.CollideGroundRoof(); break;
    }
}

void GameScene::DrawPlay() {
    backdrop.Draw(camera.GetX(), camera.GetY());
    if (mode == GameMode::Normal) blocks.Draw(camera.GetX(), camera.GetY());
    if (mode == GameMode::FreeStyle)
        world.DrawFreeMarker(kMarkerHalf, catchRect.x + catchRect.w * 0.5, catchRect.y + catchRect.h * 0.5,
                             camera.GetX(), camera.GetY());
    bestLine.Draw(text);
    world.Draw(AimX(), AimY(), camera.GetX(), camera.GetY());
    hud.Draw();
}

void GameScene::DrawFrozenGame() {
    backdrop.Draw(camera.GetX(), camera.GetY());
    if (mode == GameMode::Normal) blocks.Draw(camera.GetX(), camera.GetY());
    bestLine.Draw(text);
    world.Draw(AimX(), AimY(), camera.GetX(), camera.GetY());
    hud.Draw();
}

// Nothing of the world moves while paused; the frame counter runs on, so "PAUSE" blinks.
bool GameScene::Pause() {
    ShowPointer(true);
    if (records != nullptr) records->Save();  // nobody is playing: a record beaten so far is kept
    DrawFrozenGame();
    // Paused from a controller, the highlight starts on "Return Game" (the first entry); from
    // the mouse, on nothing until the pointer or a key moves it.
    MenuNav nav;
    for (;;) {
        NextFrame();
        ReadInput();
        const Controls& c = controls;
        const MenuNav::Result r = nav.Update(ReadMenuInput(mouse), pauseEntries);
        const bool chose = r.action == MenuNav::Action::Choose;
        // Resuming comes first: a pause button pressed in the same frame as a pick of "Return
        // Title" goes back to the game. Going back (B, Escape) resumes too.
        if (c.pause || r.action == MenuNav::Action::Back || (chose && r.entry == kResume)) {
            ShowPointer(false);
            return false;
        }
        if (chose && r.entry == kToTitle) return true;
        // The options open over the frozen game, which stays paused until they close.
        if (chose && r.entry == kOptions) RunOptions([this] { DrawFrozenGame(); });
        if (FrameCount() % kBlinkPeriod == 0) blinkOn = !blinkOn;
        DrawFrozenGame();
        DrawRect(0, 0, stage::kScreenW, stage::kScreenH, 0, 0, 0, 0.5);
        pauseEntries[kResume].Draw();
        pauseEntries[kToTitle].Draw();
        text.DrawText(kResumeLabel, LabelX(kResumeLabel), 510, 40, 80, 1.0);
        text.DrawText(kTitleLabel, LabelX(kTitleLabel), 630, 40, 80, 1.0);
        DrawOptionsEntry(pauseEntries[kOptions], text);
        if (blinkOn) text.DrawText("PAUSE", 550, 250, 100, 200, 1.0);
    }
}

void RunGame(GameMode mode) {
    RecordBook* records = ActiveRecords();
    const int64_t startStep = EngineStep();
    if (records != nullptr) records->BeginGame(static_cast<int>(mode), RecordingPath(), startStep);
    // Saved on every way out of the game: back to the title, or the window closed in play; the
    // replay is closed there too, and a record beaten is queued for the board.
    struct SaveOnLeave {
        RecordBook* book;
        ~SaveOnLeave() {
            if (book != nullptr) book->Save();
            if (BoardLink* board = ActiveBoard(); board != nullptr && ActiveSession() != nullptr)
                board->GameEnded(ActiveSession()->Current(), book != nullptr && book->BeatenInGame());
        }
    } saveOnLeave{records};
    {
        // The scene is large (the world, its sprites, the backdrop); keep it off the stack.
        auto scene = std::make_unique<GameScene>(mode);
        scene->Run();
    }
    if (records != nullptr && records->EndsWatch(startStep)) Quit();
}

}  // namespace grappix
