// <sys/file.h> for the tests of a Windows build: flock done the game's way (win_posix.hpp).
#pragma once
#define WINPOSIX_NO_MACROS
#include "win_posix.hpp"

inline int flock(int fd, int operation) { return winposix::Flock(fd, operation); }
