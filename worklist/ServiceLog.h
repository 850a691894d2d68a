#pragma once

#include <QString>

namespace kesola::worklist {

// Writes one line to standard error, which systemd hands to the journal; lines from several associations never
// interleave.
void logLine(const QString& line);

}  // namespace kesola::worklist
