// The start of the game on Windows: its command line in UTF-8, and a console to write to.
#pragma once

#include <string>
#include <vector>

namespace grappix {

// The arguments after the program's name, from the UTF-16 command line (GetCommandLineW and
// CommandLineToArgvW), as UTF-8: a file name with any letters reaches the game whole.
std::vector<std::string> WindowsArguments();

// The game is a windows-subsystem program: started from the desktop it opens no console.
// Started from a console (cmd, PowerShell), it writes --help, --version and its errors there
// (AttachConsole(ATTACH_PARENT_PROCESS)); output already sent to a file or a pipe stays there.
void AttachParentConsole();

}  // namespace grappix
