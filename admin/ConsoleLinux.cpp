#include "admin/Console.h"

namespace kesola {

void prepareConsole() {}

}  // namespace kesola
