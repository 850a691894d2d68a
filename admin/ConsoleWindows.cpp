#include <windows.h>

#include "admin/Console.h"

namespace kesola {

// Without this a Japanese console (code page 932) shows the UTF-8 messages as garbage. Output redirected to a file
// is not affected: it gets UTF-8, as on Linux.
void prepareConsole() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace kesola
