#pragma once

#include "store/Uids.h"

namespace kesola::worklist {

// The UIDs the service makes (a performed step's SOP Instance UID when the scanner leaves it to the service) are
// those of the store, where each booking's Study Instance UID is made and kept (KENSA).
using kesola::newUid;
using kesola::uuidAsDecimal;

}  // namespace kesola::worklist
