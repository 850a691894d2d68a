#pragma once

#include <QString>

#include "worklist/WorklistSettings.h"

namespace kesola::worklist {

// How many associations are served at once, each in a thread of its own with its own database connection. As many
// more wait in a queue until one ends; an association beyond those is refused (local limit exceeded).
inline constexpr int kMaxAssociations = 32;

// Serves the Modality Worklist (C-FIND), MPPS (N-CREATE, N-SET) and Verification on the settings' port until the
// process ends. Returns only when the port cannot be opened, with the reason.
QString runWorklistService(const WorklistSettings& settings);

}  // namespace kesola::worklist
