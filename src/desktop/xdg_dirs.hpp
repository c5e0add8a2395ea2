// Where a desktop program keeps its files, by the XDG Base Directory rules: each kind of file
// has its variable (XDG_CONFIG_HOME for settings, XDG_DATA_HOME for what the player made,
// XDG_STATE_HOME for history such as replays), and a folder under the home folder used when
// the variable is unset, empty or not an absolute path.
#pragma once

#include <string>
#include <vector>

namespace grappix {

enum class XdgKind {
    Config,  // XDG_CONFIG_HOME, else ~/.config
    Data,    // XDG_DATA_HOME, else ~/.local/share
    State    // XDG_STATE_HOME, else ~/.local/state
};

// The base folder of a kind; empty when neither its variable nor a home folder gives one.
std::string XdgHome(XdgKind kind);

// The game's own folder inside it: <base>/grappix (empty when the base is).
std::string GameFolder(XdgKind kind);

// Creates a folder and any missing parents, new ones private to the user (0700, as the rules
// ask). True when the folder exists afterwards; otherwise error says why. The folders it made
// are added to made, parents first.
bool MakeFolders(const std::string& path, std::string& error, std::vector<std::string>* made = nullptr);

// The same for the folder a file is to be written in (nothing to do for a bare name).
bool MakeFoldersFor(const std::string& file, std::string& error);

}  // namespace grappix
