#pragma once

namespace kesola {

// Makes the console show what kesola-admin writes (UTF-8). A Windows console shows its own code page unless told
// otherwise; a Linux terminal already takes UTF-8. ConsoleLinux.cpp and ConsoleWindows.cpp, one of which the
// build chooses, give it.
void prepareConsole();

}  // namespace kesola
