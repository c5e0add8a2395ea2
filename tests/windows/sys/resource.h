// <sys/resource.h> for the tests of a Windows build: nothing of it is used there.
#pragma once
