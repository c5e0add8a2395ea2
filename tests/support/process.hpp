// Runs a program as a child process for end-to-end tests: its own working folder, extra
// environment, captured output, and a time limit after which it is killed.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace grappix::test {

struct ProcessResult {
    int status = -1;        // exit status, or -1 if it did not exit normally
    int signal = 0;         // the signal that ended it, 0 if none
    bool timedOut = false;  // killed at the time limit
    std::string out;        // standard output
    std::string err;        // standard error
};

// env is set on top of this process's environment, after the names in `unset` are removed.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workDir,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         double timeoutSeconds = 60.0, const std::vector<std::string>& unset = {});

// A fresh empty folder under the system's temporary folder, removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Extra environment for a child process, set in order (a later entry wins).
using Env = std::vector<std::pair<std::string, std::string>>;

// A headless, unpaced game whose files all stay in `dir`: its settings, records and replays in
// dir's config, data and state folders, its trace in dir/<trace>.
Env HeadlessGameEnv(const TempDir& dir, const std::string& trace = "trace.txt");

// A copy (or hard link) of `exe` in dir, which opens dir/Data/ as its own. Returns its path.
std::string PlaceGame(const std::string& exe, const TempDir& dir);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

}  // namespace grappix::test
