#pragma once

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/scpthrd.h>

#include <QString>
#include <optional>

#include "worklist/AssociationContext.h"
#include "worklist/PerformedStepCommands.h"
#include "worklist/PerformedSteps.h"
#include "worklist/WorklistSettings.h"

namespace kesola::worklist {

// One scanner's association: its negotiation, its commands (C-FIND, N-CREATE, N-SET, C-ECHO) and its one line in
// the log, written when it ends or is refused (with what it did, and how it ended). The worklist query and the
// performed steps are answered by WorklistFind and PerformedStepCommands; this class receives their requests and sends
// their responses.
class Association : public DcmThreadSCP {
  public:
    Association(const WorklistSettings& settings, PerformedSteps& steps, StoreConnection& store)
        : settings_(settings), steps_(steps), store_(store) {}

  protected:
    void notifyAssociationRequest(const T_ASC_Parameters& params, DcmSCPActionType& desiredAction) override;
    OFBool checkCalledAETitleAccepted(const OFString& calledAE) override;
    OFBool checkCallingAETitleAccepted(const OFString& callingAE) override;
    void notifyAssociationAcknowledge() override { accepted_ = true; }
    void notifyAbortRequest() override { aborted_ = true; }
    void notifyDIMSEError(const OFCondition& cond) override;
    void notifyAssociationTermination() override;
    void refuseAssociation(DcmRefuseReasonType reason) override;
    OFCondition handleIncomingCommand(T_DIMSE_Message* message, const DcmPresentationContextInfo& context) override;

  private:
    OFCondition handleFind(T_DIMSE_C_FindRQ& request, T_ASC_PresentationContextID context);
    OFCondition handleCreate(T_DIMSE_N_CreateRQ& request, T_ASC_PresentationContextID context);
    OFCondition handleSet(T_DIMSE_N_SetRQ& request, T_ASC_PresentationContextID context);
    std::unique_ptr<DcmDataset> receiveDataset(T_DIMSE_DataSetType type, T_ASC_PresentationContextID context,
                                               OFCondition& cond);

    const WorklistSettings& settings_;
    PerformedSteps& steps_;
    StoreConnection& store_;
    AssociationContext context_{settings_, store_, {}, {}};
    std::optional<PerformedStepCommands> stepCommands_;
    bool accepted_ = false;
    bool aborted_ = false;
    QString refusal_;  // why the association is refused, for its log line
    QString broken_;   // how the association broke, for its log line
    int finds_ = 0;
    int found_ = 0;
};

}  // namespace kesola::worklist
