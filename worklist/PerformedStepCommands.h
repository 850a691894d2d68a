#pragma once

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/dimse.h>

#include <QString>
#include <QStringList>

#include "worklist/AssociationContext.h"
#include "worklist/PerformedSteps.h"

class DcmDataset;

namespace kesola::worklist {

// The answer to an MPPS N-CREATE or N-SET: its status, and the Error Comment that goes with a refusal.
struct StepReply {
    Uint16 status = STATUS_N_Success;
    QString comment;
};

// The MPPS commands of one association: N-CREATE starts the examination of the booking the step names, N-SET
// completes or discontinues it, as PerformedSteps decides. Every refusal is logged with the peer.
class PerformedStepCommands {
  public:
    PerformedStepCommands(PerformedSteps& steps, const AssociationContext& context)
        : steps_(steps), context_(context) {}

    // `dataset` is null when the command came without one.
    StepReply create(DcmDataset* dataset, const QString& instanceUid);
    StepReply set(DcmDataset* dataset, const QString& instanceUid);

    // What the association did, for its closing log line: "検査開始 R123", ...
    const QStringList& done() const { return done_; }

  private:
    StepReply refuse(Uint16 status, const QString& comment, const QString& why);
    template <typename Step>
    StepReply answer(const char* request, Step step);

    PerformedSteps& steps_;
    const AssociationContext& context_;
    QStringList done_;
};

}  // namespace kesola::worklist
