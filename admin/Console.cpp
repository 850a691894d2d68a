#include "admin/Console.h"

namespace kesola {

ConsoleStreams::ConsoleStreams()
    : outDevice_(openStandardStream(stdout)),
      errDevice_(openStandardStream(stderr)),
      out_(outDevice_.get()),
      err_(errDevice_.get()) {}

}  // namespace kesola
