#include "worklist/WorklistService.h"

#include <arpa/inet.h>
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dul.h>
#include <dcmtk/dcmnet/scpthrd.h>
#include <dcmtk/ofstd/ofstd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QDate>
#include <QRegularExpression>
#include <QUuid>
#include <memory>
#include <thread>

#include "store/ExamSteps.h"
#include "store/History.h"
#include "store/WorklistStore.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "worklist/PerformedSteps.h"
#include "worklist/RegisteredName.h"
#include "worklist/ServiceLog.h"
#include "worklist/StudyUid.h"
#include "worklist/WorklistAnswer.h"
#include "worklist/WorklistQuery.h"

namespace kesola::worklist {

namespace {

constexpr Uint16 kStatusDatabaseUnavailable = 0xC001;
// How long a silent peer may keep its association's thread: a scanner switched off in the middle of a query.
constexpr Uint32 kNetworkTimeoutSeconds = 60;

// What every association shares. Set once before the first association and never changed.
struct ServiceState {
    WorklistSettings settings;
    PerformedSteps steps;
};
ServiceState* g_state = nullptr;

QString textOf(const char* text) { return QString::fromLatin1(text).trimmed(); }

std::unique_ptr<DcmDataset> errorComment(const QString& comment) {
    auto detail = std::make_unique<DcmDataset>();
    detail->putAndInsertString(DCM_ErrorComment, comment.left(64).toLatin1().constData());
    return detail;
}

// One scanner's association: its commands, its database connection, its line in the log.
class WorklistScp : public DcmThreadSCP {
  public:
    // The connection slot of the thread that serves this association.
    void useConnection(std::unique_ptr<QtSqlDatabase>& connection) { connection_ = &connection; }

  protected:
    void notifyAssociationRequest(const T_ASC_Parameters& params, DcmSCPActionType& desiredAction) override {
        calling_ = textOf(params.DULparams.callingAPTitle);
        peer_ = textOf(params.DULparams.callingPresentationAddress);
        accepted_ = false;
        aborted_ = false;
        finds_ = 0;
        found_ = 0;
        steps_.clear();
        DcmThreadSCP::notifyAssociationRequest(params, desiredAction);
    }

    OFBool checkCalledAETitleAccepted(const OFString& calledAE) override {
        if (textOf(calledAE.c_str()) == settings().aeTitle) return OFTrue;
        logLine(QStringLiteral("%1 (%2) を断りました: 呼ばれた AE タイトル %3 はこのサービス (%4) ではありません")
                    .arg(calling_, peer_, textOf(calledAE.c_str()), settings().aeTitle));
        return OFFalse;
    }

    OFBool checkCallingAETitleAccepted(const OFString& callingAE) override {
        const QString title = textOf(callingAE.c_str());
        if (settings().accept.isEmpty() || settings().accept.contains(title)) return OFTrue;
        logLine(QStringLiteral("%1 (%2) を断りました: accept にない AE タイトルです").arg(title, peer_));
        return OFFalse;
    }

    void notifyAssociationAcknowledge() override { accepted_ = true; }
    void notifyAbortRequest() override { aborted_ = true; }

    void notifyDIMSEError(const OFCondition& cond) override {
        logLine(QStringLiteral("%1 (%2) との通信が途切れました: %3")
                    .arg(calling_, peer_, QString::fromLatin1(cond.text())));
    }

    void notifyAssociationTermination() override {
        if (!accepted_) return;
        QStringList done;
        if (finds_ > 0) done << QStringLiteral("C-FIND %1 回 %2 件").arg(finds_).arg(found_);
        if (!steps_.isEmpty()) done << QStringLiteral("MPPS ") + steps_.join(QStringLiteral(", "));
        if (done.isEmpty()) done << QStringLiteral("要求なし");
        logLine(QStringLiteral("%1 (%2): %3; %4")
                    .arg(calling_, peer_, done.join(QStringLiteral(", ")),
                         aborted_ ? QStringLiteral("中断されました") : QStringLiteral("終了")));
        DcmThreadSCP::notifyAssociationTermination();
    }

    OFCondition handleIncomingCommand(T_DIMSE_Message* message, const DcmPresentationContextInfo& context) override {
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

  private:
    static const WorklistSettings& settings() { return g_state->settings; }

    // The thread's connection, which serves one association at a time: opened at its first use, opened again when
    // the file it reads is no longer the one the settings name (deleted, or put back from a backup), and dropped
    // after any failure, so that a store that comes back is served again at the next query.
    Database& database() {
        std::unique_ptr<QtSqlDatabase>& db = *connection_;
        if (db && !db->stillTheStoreNamed()) db.reset();
        if (!db) db = openDatabase(settings().database);
        return *db;
    }

    void dropConnection() { connection_->reset(); }

    void logFailure(const QString& what) { logLine(QStringLiteral("%1 (%2): %3").arg(calling_, peer_, what)); }

    OFCondition handleFind(T_DIMSE_C_FindRQ& request, T_ASC_PresentationContextID context) {
        DcmDataset* received = nullptr;
        const OFCondition cond = receiveFINDRequest(request, context, received);
        if (cond.bad()) return cond;
        std::unique_ptr<DcmDataset> identifier(received);
        const OFString sopClass = request.AffectedSOPClassUID;
        ++finds_;
        auto parsed = parseWorklistQuery(*identifier);
        if (const auto* error = std::get_if<QString>(&parsed)) {
            logFailure(QStringLiteral("C-FIND を断りました: ") + *error);
            return sendFINDResponse(context, request.MessageID, sopClass, nullptr,
                                    STATUS_FIND_Error_DataSetDoesNotMatchSOPClass, errorComment(*error).get());
        }
        const WorklistQuery& query = std::get<WorklistQuery>(parsed);
        const StoreRead read = storeReadFor(query, settings(), QDate::currentDate());
        std::vector<ScheduledBooking> bookings;
        std::map<QString, RegisteredPatient> registered;
        try {
            bookings = readScheduledBookings(database(), read.roomCodes, read.from, read.to);
            registered = registeredPatientsOf(database(), bookings);
        } catch (const DbError& e) {
            dropConnection();
            logFailure(QStringLiteral("C-FIND に失敗しました: データベースを読めません (%1)").arg(e.message()));
            return sendFINDResponse(context, request.MessageID, sopClass, nullptr, kStatusDatabaseUnavailable,
                                    errorComment(QStringLiteral("worklist database unavailable")).get());
        }
        for (const ScheduledBooking& booking : bookings) {
            const auto station = stationFor(booking.code.left(1), query, settings());
            if (!station || !matches(query, booking)) continue;
            const auto patient = registered.find(booking.patientId);
            const WorklistItem item = worklistItemOf(
                booking, *station, settings(),
                patient == registered.end() ? std::nullopt : std::optional<RegisteredPatient>(patient->second));
            if (!item.outsideNote.isEmpty())
                logFailure(QStringLiteral("予約 %1: ").arg(booking.code) + item.outsideNote);
            const auto answer = answerTo(*identifier, item);
            const OFCondition sent = sendFINDResponse(context, request.MessageID, sopClass, answer.get(),
                                                      STATUS_FIND_Pending_MatchesAreContinuing);
            if (sent.bad()) return sent;
            ++found_;
            if (checkForCANCEL(context, request.MessageID).good()) {
                return sendFINDResponse(context, request.MessageID, sopClass, nullptr,
                                        STATUS_FIND_Cancel_MatchingTerminatedDueToCancelRequest);
            }
        }
        return sendFINDResponse(context, request.MessageID, sopClass, nullptr, STATUS_FIND_Success);
    }

    std::unique_ptr<DcmDataset> receiveDataset(T_DIMSE_DataSetType type, T_ASC_PresentationContextID context,
                                               OFCondition& cond) {
        DcmDataset* received = nullptr;
        if (type != DIMSE_DATASET_NULL) cond = receiveDIMSEDataset(&context, &received);
        return std::unique_ptr<DcmDataset>(received);
    }

    // Answers a step whose write failed or was refused; `comment` goes to the scanner, `why` to the log.
    Uint16 refuseStep(Uint16 status, const QString& comment, const QString& why) {
        logFailure(why);
        stepComment_ = comment;
        return status;
    }

    Uint16 createStep(DcmDataset* dataset, const QString& instanceUid) {
        if (!dataset)
            return refuseStep(STATUS_N_MissingAttribute, QStringLiteral("no attribute list"),
                              QStringLiteral("MPPS N-CREATE に属性がありません"));
        if (stepStatusOf(*dataset) != StepStatus::InProgress) {
            return refuseStep(STATUS_N_InvalidAttributeValue, QStringLiteral("status must be IN PROGRESS"),
                              QStringLiteral("MPPS N-CREATE を断りました: 状態が IN PROGRESS ではありません"));
        }
        if (g_state->steps.isKnown(instanceUid)) {
            return refuseStep(STATUS_N_DuplicateSOPInstance, QStringLiteral("duplicate SOP instance"),
                              QStringLiteral("MPPS N-CREATE を断りました: %1 はもうあります").arg(instanceUid));
        }
        const QStringList keys = scheduledStepKeysOf(*dataset);
        const HistoryActor actor{calling_, kServiceUser};
        try {
            for (const QString& key : keys) {
                if (const QString mismatch = birthDateMismatch(database(), *dataset, key); !mismatch.isEmpty()) {
                    return refuseStep(
                        STATUS_N_InvalidAttributeValue, QStringLiteral("patient mismatch"),
                        QStringLiteral("MPPS N-CREATE を断りました: 患者が違います (%1: %2)").arg(key, mismatch));
                }
                if (recordExamStep(database(), key, history_actions::kExamStarted, actor) !=
                    ExamStepOutcome::Recorded) {
                    continue;
                }
                g_state->steps.add(instanceUid, key);
                steps_ << QStringLiteral("検査開始 %1").arg(key);
                return STATUS_N_Success;
            }
        } catch (const DbError& e) {
            dropConnection();
            return refuseStep(
                STATUS_N_ProcessingFailure, QStringLiteral("worklist database unavailable"),
                QStringLiteral("MPPS N-CREATE に失敗しました: データベースに書けません (%1)").arg(e.message()));
        }
        return refuseStep(STATUS_N_ProcessingFailure, QStringLiteral("no scheduled step with this accession number"),
                          QStringLiteral("MPPS N-CREATE を断りました: 予約が見つかりません (%1)")
                              .arg(keys.isEmpty() ? QStringLiteral("番号なし") : keys.join(u' ')));
    }

    OFCondition handleCreate(T_DIMSE_N_CreateRQ& request, T_ASC_PresentationContextID context) {
        OFCondition cond = EC_Normal;
        const auto dataset = receiveDataset(request.DataSetType, context, cond);
        if (cond.bad()) return cond;
        const bool uidGiven = (request.opts & O_NCREATE_AFFECTEDSOPINSTANCEUID) && request.AffectedSOPInstanceUID[0];
        const QString instanceUid = uidGiven ? textOf(request.AffectedSOPInstanceUID)
                                             : QStringLiteral("2.25.") + uuidAsDecimal(QUuid::createUuid().toRfc4122());
        stepComment_.clear();
        const Uint16 status = createStep(dataset.get(), instanceUid);
        T_DIMSE_Message response{};
        response.CommandField = DIMSE_N_CREATE_RSP;
        T_DIMSE_N_CreateRSP& r = response.msg.NCreateRSP;
        r.MessageIDBeingRespondedTo = request.MessageID;
        OFStandard::strlcpy(r.AffectedSOPClassUID, request.AffectedSOPClassUID, sizeof r.AffectedSOPClassUID);
        OFStandard::strlcpy(r.AffectedSOPInstanceUID, instanceUid.toLatin1().constData(),
                            sizeof r.AffectedSOPInstanceUID);
        r.DimseStatus = status;
        r.DataSetType = DIMSE_DATASET_NULL;
        r.opts = O_NCREATE_AFFECTEDSOPCLASSUID | O_NCREATE_AFFECTEDSOPINSTANCEUID;
        const auto detail = stepComment_.isEmpty() ? nullptr : errorComment(stepComment_);
        return sendDIMSEMessage(context, &response, nullptr, detail.get());
    }

    Uint16 setStep(DcmDataset* dataset, const QString& instanceUid) {
        const auto key = g_state->steps.openStep(instanceUid);
        if (!key) {
            const bool known = g_state->steps.isKnown(instanceUid);
            return refuseStep(known ? STATUS_N_ProcessingFailure : STATUS_N_NoSuchSOPInstance,
                              known ? QStringLiteral("performed procedure step already finished")
                                    : QStringLiteral("no such performed procedure step"),
                              QStringLiteral("MPPS N-SET を断りました: %1 は%2")
                                  .arg(instanceUid, known ? QStringLiteral("もう終わっています")
                                                          : QStringLiteral("知らない検査です")));
        }
        const StepStatus status = dataset ? stepStatusOf(*dataset) : StepStatus::Absent;
        if (status == StepStatus::Absent || status == StepStatus::InProgress) return STATUS_N_Success;
        if (status == StepStatus::Other) {
            return refuseStep(STATUS_N_InvalidAttributeValue, QStringLiteral("unknown performed procedure step status"),
                              QStringLiteral("MPPS N-SET を断りました: 知らない状態です"));
        }
        const HistoryActor actor{calling_, kServiceUser};
        try {
            const bool completed = status == StepStatus::Completed;
            const ExamStepOutcome outcome =
                completed ? completeExam(database(), *key, actor)
                          : recordExamStep(database(), *key, history_actions::kExamDiscontinued, actor);
            if (outcome != ExamStepOutcome::Recorded) {
                return refuseStep(STATUS_N_ProcessingFailure, QStringLiteral("booking could not be updated"),
                                  QStringLiteral("MPPS N-SET に失敗しました: 予約 %1 は%2")
                                      .arg(*key, outcome == ExamStepOutcome::NoSuchBooking
                                                     ? QStringLiteral("取り消されています")
                                                     : QStringLiteral("書き換えられませんでした")));
            }
            g_state->steps.finish(instanceUid);
            steps_ << (completed ? QStringLiteral("検査完了 %1") : QStringLiteral("検査中止 %1")).arg(*key);
            return STATUS_N_Success;
        } catch (const DbError& e) {
            dropConnection();
            return refuseStep(
                STATUS_N_ProcessingFailure, QStringLiteral("worklist database unavailable"),
                QStringLiteral("MPPS N-SET に失敗しました: データベースに書けません (%1)").arg(e.message()));
        }
    }

    OFCondition handleSet(T_DIMSE_N_SetRQ& request, T_ASC_PresentationContextID context) {
        OFCondition cond = EC_Normal;
        const auto dataset = receiveDataset(request.DataSetType, context, cond);
        if (cond.bad()) return cond;
        const QString instanceUid = textOf(request.RequestedSOPInstanceUID);
        stepComment_.clear();
        const Uint16 status = setStep(dataset.get(), instanceUid);
        T_DIMSE_Message response{};
        response.CommandField = DIMSE_N_SET_RSP;
        T_DIMSE_N_SetRSP& r = response.msg.NSetRSP;
        r.MessageIDBeingRespondedTo = request.MessageID;
        OFStandard::strlcpy(r.AffectedSOPClassUID, request.RequestedSOPClassUID, sizeof r.AffectedSOPClassUID);
        OFStandard::strlcpy(r.AffectedSOPInstanceUID, request.RequestedSOPInstanceUID, sizeof r.AffectedSOPInstanceUID);
        r.DimseStatus = status;
        r.DataSetType = DIMSE_DATASET_NULL;
        r.opts = O_NSET_AFFECTEDSOPCLASSUID | O_NSET_AFFECTEDSOPINSTANCEUID;
        const auto detail = stepComment_.isEmpty() ? nullptr : errorComment(stepComment_);
        return sendDIMSEMessage(context, &response, nullptr, detail.get());
    }

    inline static const QString kServiceUser = QStringLiteral("kesola-worklist");

    std::unique_ptr<QtSqlDatabase>* connection_ = nullptr;
    QString calling_;
    QString peer_;
    bool accepted_ = false;
    bool aborted_ = false;
    int finds_ = 0;
    int found_ = 0;
    QStringList steps_;
    QString stepComment_;
};

// The database line for the log: a server URI's password is not written to the journal.
QString withoutPassword(const QString& location) {
    QString shown = location;
    return shown.replace(QRegularExpression(QStringLiteral("(://[^:/@]*):[^@]*@")), QStringLiteral("\\1:***@"));
}

void configure(DcmSCPConfig& config, const WorklistSettings& settings) {
    config.setPort(settings.port);
    config.setAETitle(settings.aeTitle.toLatin1().constData());
    config.setRespondWithCalledAETitle(OFTrue);
    config.setHostLookupEnabled(OFFalse);
    config.setConnectionBlockingMode(DUL_NOBLOCK);
    config.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    config.setDIMSETimeout(kNetworkTimeoutSeconds);
    config.setACSETimeout(kNetworkTimeoutSeconds);
    config.setConnectionTimeout(0);
    const OFList<OFString> transferSyntaxes = [] {
        OFList<OFString> list;
        list.push_back(UID_LittleEndianExplicitTransferSyntax);
        list.push_back(UID_BigEndianExplicitTransferSyntax);
        list.push_back(UID_LittleEndianImplicitTransferSyntax);
        return list;
    }();
    for (const char* sopClass : {UID_FINDModalityWorklistInformationModel, UID_ModalityPerformedProcedureStepSOPClass,
                                 UID_VerificationSOPClass}) {
        config.addPresentationContext(sopClass, transferSyntaxes);
    }
}

// Every answer goes out at once. Debian's dcmtk leaves Nagle's algorithm on, so a response written in two pieces
// (its command set, then its dataset) waited for the peer's delayed acknowledgement, 40 ms each time. Linux gives an
// accepted connection the listening socket's TCP_NODELAY; dcmtk does not hand out that socket, so it is found among
// the process's descriptors as the one listening on the port.
void answerWithoutDelay(quint16 port) {
    for (int fd = 0; fd < 1024; ++fd) {
        int listening = 0;
        socklen_t length = sizeof listening;
        sockaddr_storage address{};
        socklen_t addressLength = sizeof address;
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 || !listening) continue;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &addressLength) != 0) continue;
        const quint16 bound = address.ss_family == AF_INET6
                                  ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                                  : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
        if (bound != port) continue;
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
}

// One of the service's threads: takes the next association that comes in, serves it to its end, and takes the
// next. A peer that connects and then says nothing holds its thread until the network timeout, never the others.
// The thread keeps its database connection from one association to the next (opening one on a server costs more
// than the query), and closes it when no association has come for the network timeout.
[[noreturn]] void serveAssociations(T_ASC_Network* network, const DcmSharedSCPConfig& config) {
    std::unique_ptr<QtSqlDatabase> connection;
    for (;;) {
        T_ASC_Association* association = nullptr;
        const OFCondition cond =
            ASC_receiveAssociation(network, &association, config->getMaxReceivePDULength(), nullptr, nullptr, OFFalse,
                                   DUL_NOBLOCK, static_cast<int>(kNetworkTimeoutSeconds));
        if (cond == DUL_NOASSOCIATIONREQUEST) connection.reset();
        if (cond.bad()) {
            if (association) {
                ASC_dropAssociation(association);
                ASC_destroyAssociation(&association);
            }
            continue;
        }
        WorklistScp scp;
        scp.setSharedConfig(config);
        scp.useConnection(connection);
        scp.run(association);
    }
}

}  // namespace

QString runWorklistService(const WorklistSettings& settings) {
    static ServiceState state{settings, {}};
    g_state = &state;
    DcmSharedSCPConfig config;
    configure(*config, settings);
    // The log names peers by address; a reverse lookup of each would cost every association a resolver's wait.
    dcmDisableGethostbyaddr.set(OFTrue);
    T_ASC_Network* network = nullptr;
    OFCondition cond =
        ASC_initializeNetwork(NET_ACCEPTOR, settings.port, static_cast<int>(kNetworkTimeoutSeconds), &network);
    if (cond.bad()) return QString::fromLatin1(cond.text());
    answerWithoutDelay(settings.port);
    logLine(QStringLiteral("%1 をポート %2 で待ち受けます (データベース: %3)")
                .arg(settings.aeTitle)
                .arg(settings.port)
                .arg(withoutPassword(settings.database)));
    // A fixed set of threads, each taking associations one after the other with its own connection to the store;
    // a scanner that comes while all are busy waits in the listen queue. dcmtk's own pool is not used: in 3.6.7 a
    // worker that ends at once (a peer that aborts before anything else) is freed while the pool is still starting
    // it, and the pool reads every association request on its one listening thread.
    for (int i = 1; i < kMaxAssociations; ++i) std::thread(serveAssociations, network, config).detach();
    serveAssociations(network, config);
}

}  // namespace kesola::worklist
