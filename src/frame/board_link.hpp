// The game's side of the board of records. Everything it says to the board goes through the
// engine's HTTP requests, which run in the background: the game asks after them between frame
// steps and never waits for one in play. Nothing the board answers is drawn by the game: the
// title's top three are text the engine lays over the finished frame, outside every trace and
// check, so a run plays and proves the same whether or not the board is reachable.
//
// Nothing is sent unless the player turned the board on. What is sent, and when: at the end of
// a game that beat the player's record, the run's replay up to there (closed by a check of that
// step) with the player's name and key, queued on disk first and sent when the board answers;
// and, while the title shows, a request for each mode's top three every five minutes.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "desktop/command_line.hpp"
#include "desktop/settings.hpp"

namespace grappix {

using JsonFields = std::map<std::string, std::string>;

// The fields of one flat JSON object, or of each object of an array of them: strings unescaped
// (a character beyond ASCII read as '?'), numbers and true, false, null as written. False for
// anything else (nested values, text after the end, a string cut short).
bool ReadJsonObjects(const std::string& text, std::vector<JsonFields>& out);

class BoardLink {
public:
    static constexpr int64_t kRetryFrames = 60 * 60;      // a minute after the board could not be reached
    static constexpr int64_t kTopFrames = 5 * 60 * 60;    // the top lists are asked for again
    static constexpr int64_t kQueueLookFrames = 10 * 60;  // the queue folder is looked at again

    explicit BoardLink(std::string queueFolder, std::string keyPath);
    ~BoardLink();
    BoardLink(const BoardLink&) = delete;
    BoardLink& operator=(const BoardLink&) = delete;

    // After every frame step: answers are taken in, the next queued run is sent, the top lists
    // asked for while wanted. Only calls that return at once.
    void Pump(const Settings& settings);
    // A game was left (back to the title): the replay is closed there with a check, and when
    // the game beat the player's record with the board on, the run up to there is queued.
    void GameEnded(const Settings& settings, bool beatRecord);
    // On the title: the board's top three of mode (0 normal, 1 no-block, 2 free-style) laid over
    // the frame at x, y by the engine; nothing until they came, nor when the board is not reached.
    void ShowTop(int mode, double x, double y);

    size_t Sending() const { return sending_ != 0 ? 1 : 0; }

private:
    void TakeAnswer(const Settings& settings);
    void SendNext(const Settings& settings);
    void TakeTops();
    void AskTops(const Settings& settings);
    void Forget(int64_t& request);

    std::string queueFolder_, keyPath_, key_;
    bool keyFailed_ = false;
    int64_t sending_ = 0;  // the request sending sendingFile_
    std::string sendingFile_;
    int64_t retryAt_ = 0;      // frame before which nothing is sent
    int64_t lookQueueAt_ = 0;  // frame at which the queue folder is read again
    std::vector<std::string> queue_;
    std::array<int64_t, 3> topRequests_{};
    std::array<std::string, 3> tops_;  // the overlay's text per mode, "" for none
    int64_t topsAt_ = -1;              // frame of the last ask
    bool wantTops_ = false;            // the title asked to show them since the last frame
    std::string topsAddress_;
};

// The run's link, for the frame step, the title and the game; null when there is none.
BoardLink* ActiveBoard();
void SetActiveBoard(BoardLink* link);

// --submit FILE --board URL --name NAME, with the engine library at enginePath bound for its
// network: sends the replay, waits for the board's verdict and prints it. 0 accepted, 1 not.
int SubmitToBoard(const CommandLine& line, const char* enginePath);

// --watch-board MODE [RANK]: fetches that run's replay from the board at address into folder
// (<hash>.replay) and gives its path. Returns "" or one line saying why it could not.
std::string FetchBoardRun(const char* enginePath, const std::string& address, const std::string& mode,
                          int64_t rank, const std::string& folder, std::string& path);

}  // namespace grappix
