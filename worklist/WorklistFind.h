#pragma once

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/dimse.h>

#include <QString>
#include <functional>

#include "worklist/AssociationContext.h"

class DcmDataset;

namespace kesola::worklist {

// What became of one answer handed to the association.
enum class AnswerSent { Sent, Cancelled, Broken };

// How a C-FIND ends: its final status with an Error Comment when it failed, the number of items sent, and whether
// the association broke while sending (then no final response goes out).
struct FindEnd {
    Uint16 status = STATUS_FIND_Success;
    QString comment;
    int found = 0;
    bool broken = false;
};

// Answers one Modality Worklist C-FIND: reads its matching keys, asks the store, and hands every matching item to
// `send`, one after the other, until the last or until `send` says the scanner cancelled or went away.
FindEnd findWorklistItems(DcmDataset& identifier, const AssociationContext& context,
                          const std::function<AnswerSent(DcmDataset& answer)>& send);

}  // namespace kesola::worklist
