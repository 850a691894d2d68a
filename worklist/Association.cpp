#include "worklist/Association.h"

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/ofstd/ofstd.h>

#include <QUuid>

#include "worklist/ServiceLog.h"
#include "worklist/StudyUid.h"
#include "worklist/WorklistFind.h"

namespace kesola::worklist {

namespace {

QString textOf(const char* text) { return QString::fromLatin1(text).trimmed(); }

std::unique_ptr<DcmDataset> errorComment(const QString& comment) {
    if (comment.isEmpty()) return nullptr;
    auto detail = std::make_unique<DcmDataset>();
    detail->putAndInsertString(DCM_ErrorComment, comment.left(64).toLatin1().constData());
    return detail;
}

}  // namespace

void Association::notifyAssociationRequest(const T_ASC_Parameters& params, DcmSCPActionType& desiredAction) {
    context_.calling = textOf(params.DULparams.callingAPTitle);
    context_.peer = textOf(params.DULparams.callingPresentationAddress);
    accepted_ = false;
    aborted_ = false;
    refusal_.clear();
    broken_.clear();
    finds_ = 0;
    found_ = 0;
    stepCommands_.emplace(steps_, context_);
    DcmThreadSCP::notifyAssociationRequest(params, desiredAction);
}

OFBool Association::checkCalledAETitleAccepted(const OFString& calledAE) {
    if (textOf(calledAE.c_str()) == settings_.aeTitle) return OFTrue;
    refusal_ = QStringLiteral("呼ばれた AE タイトル %1 はこのサービス (%2) ではありません")
                   .arg(textOf(calledAE.c_str()), settings_.aeTitle);
    return OFFalse;
}

OFBool Association::checkCallingAETitleAccepted(const OFString& callingAE) {
    const QString title = textOf(callingAE.c_str());
    if (settings_.accept.isEmpty() || settings_.accept.contains(title)) return OFTrue;
    refusal_ = QStringLiteral("accept にない AE タイトルです");
    return OFFalse;
}

void Association::refuseAssociation(DcmRefuseReasonType reason) {
    if (refusal_.isEmpty()) {
        refusal_ = reason == DCMSCP_NO_PRESENTATION_CONTEXTS
                       ? QStringLiteral("受けられる SOP クラスと転送構文の組がありません")
                       : QStringLiteral("関連付け要求を受けられません (理由 %1)").arg(static_cast<int>(reason));
    }
    logLine(QStringLiteral("%1 (%2) を断りました: %3").arg(context_.calling, context_.peer, refusal_));
    DcmThreadSCP::refuseAssociation(reason);
}

void Association::notifyDIMSEError(const OFCondition& cond) { broken_ = QString::fromLatin1(cond.text()); }

void Association::notifyAssociationTermination() {
    if (!accepted_) return;
    QStringList done;
    if (finds_ > 0) done << QStringLiteral("C-FIND %1 回 %2 件").arg(finds_).arg(found_);
    if (stepCommands_ && !stepCommands_->done().isEmpty())
        done << QStringLiteral("MPPS ") + stepCommands_->done().join(QStringLiteral(", "));
    if (done.isEmpty()) done << QStringLiteral("要求なし");
    const QString end = !broken_.isEmpty() ? QStringLiteral("通信が途切れました (%1)").arg(broken_)
                        : aborted_         ? QStringLiteral("中断されました")
                                           : QStringLiteral("終了");
    logLine(
        QStringLiteral("%1 (%2): %3; %4").arg(context_.calling, context_.peer, done.join(QStringLiteral(", ")), end));
    DcmThreadSCP::notifyAssociationTermination();
}

OFCondition Association::handleIncomingCommand(T_DIMSE_Message* message, const DcmPresentationContextInfo& context) {
    switch (message->CommandField) {
        case DIMSE_C_FIND_RQ:
            return handleFind(message->msg.CFindRQ, context.presentationContextID);
        case DIMSE_N_CREATE_RQ:
            return handleCreate(message->msg.NCreateRQ, context.presentationContextID);
        case DIMSE_N_SET_RQ:
            return handleSet(message->msg.NSetRQ, context.presentationContextID);
        case DIMSE_C_CANCEL_RQ:
            return EC_Normal;  // it came after the last answer had gone
        default:
            return DcmThreadSCP::handleIncomingCommand(message, context);
    }
}

OFCondition Association::handleFind(T_DIMSE_C_FindRQ& request, T_ASC_PresentationContextID context) {
    DcmDataset* received = nullptr;
    const OFCondition cond = receiveFINDRequest(request, context, received);
    if (cond.bad()) return cond;
    std::unique_ptr<DcmDataset> identifier(received);
    const OFString sopClass = request.AffectedSOPClassUID;
    ++finds_;
    OFCondition sendFailure = EC_Normal;
    const FindEnd end = findWorklistItems(*identifier, context_, [&](DcmDataset& answer) {
        sendFailure =
            sendFINDResponse(context, request.MessageID, sopClass, &answer, STATUS_FIND_Pending_MatchesAreContinuing);
        if (sendFailure.bad()) return AnswerSent::Broken;
        return checkForCANCEL(context, request.MessageID).good() ? AnswerSent::Cancelled : AnswerSent::Sent;
    });
    found_ += end.found;
    if (end.broken) return sendFailure;
    return sendFINDResponse(context, request.MessageID, sopClass, nullptr, end.status, errorComment(end.comment).get());
}

std::unique_ptr<DcmDataset> Association::receiveDataset(T_DIMSE_DataSetType type, T_ASC_PresentationContextID context,
                                                        OFCondition& cond) {
    DcmDataset* received = nullptr;
    if (type != DIMSE_DATASET_NULL) cond = receiveDIMSEDataset(&context, &received);
    return std::unique_ptr<DcmDataset>(received);
}

OFCondition Association::handleCreate(T_DIMSE_N_CreateRQ& request, T_ASC_PresentationContextID context) {
    OFCondition cond = EC_Normal;
    const auto dataset = receiveDataset(request.DataSetType, context, cond);
    if (cond.bad()) return cond;
    const bool uidGiven = (request.opts & O_NCREATE_AFFECTEDSOPINSTANCEUID) && request.AffectedSOPInstanceUID[0];
    const QString instanceUid = uidGiven ? textOf(request.AffectedSOPInstanceUID)
                                         : QStringLiteral("2.25.") + uuidAsDecimal(QUuid::createUuid().toRfc4122());
    const StepReply reply = stepCommands_->create(dataset.get(), instanceUid);
    T_DIMSE_Message response{};
    response.CommandField = DIMSE_N_CREATE_RSP;
    T_DIMSE_N_CreateRSP& r = response.msg.NCreateRSP;
    r.MessageIDBeingRespondedTo = request.MessageID;
    OFStandard::strlcpy(r.AffectedSOPClassUID, request.AffectedSOPClassUID, sizeof r.AffectedSOPClassUID);
    OFStandard::strlcpy(r.AffectedSOPInstanceUID, instanceUid.toLatin1().constData(), sizeof r.AffectedSOPInstanceUID);
    r.DimseStatus = reply.status;
    r.DataSetType = DIMSE_DATASET_NULL;
    r.opts = O_NCREATE_AFFECTEDSOPCLASSUID | O_NCREATE_AFFECTEDSOPINSTANCEUID;
    return sendDIMSEMessage(context, &response, nullptr, errorComment(reply.comment).get());
}

OFCondition Association::handleSet(T_DIMSE_N_SetRQ& request, T_ASC_PresentationContextID context) {
    OFCondition cond = EC_Normal;
    const auto dataset = receiveDataset(request.DataSetType, context, cond);
    if (cond.bad()) return cond;
    const StepReply reply = stepCommands_->set(dataset.get(), textOf(request.RequestedSOPInstanceUID));
    T_DIMSE_Message response{};
    response.CommandField = DIMSE_N_SET_RSP;
    T_DIMSE_N_SetRSP& r = response.msg.NSetRSP;
    r.MessageIDBeingRespondedTo = request.MessageID;
    OFStandard::strlcpy(r.AffectedSOPClassUID, request.RequestedSOPClassUID, sizeof r.AffectedSOPClassUID);
    OFStandard::strlcpy(r.AffectedSOPInstanceUID, request.RequestedSOPInstanceUID, sizeof r.AffectedSOPInstanceUID);
    r.DimseStatus = reply.status;
    r.DataSetType = DIMSE_DATASET_NULL;
    r.opts = O_NSET_AFFECTEDSOPCLASSUID | O_NSET_AFFECTEDSOPINSTANCEUID;
    return sendDIMSEMessage(context, &response, nullptr, errorComment(reply.comment).get());
}

}  // namespace kesola::worklist
