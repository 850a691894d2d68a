#include "worklist/WorklistService.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dul.h>
#include <dcmtk/dcmnet/scpthrd.h>
#include <unistd.h>

#include <QDate>
#include <QRegularExpression>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "store/WorklistStore.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"
#include "worklist/Association.h"
#include "worklist/AssociationContext.h"
#include "worklist/IncomingConnections.h"
#include "worklist/PerformedSteps.h"
#include "worklist/ServiceLog.h"

namespace kesola::worklist {

namespace {

// How long a silent peer may keep its association's thread: a scanner switched off in the middle of a query.
constexpr Uint32 kNetworkTimeoutSeconds = 60;

// What every association shares. Set once before the first association and never changed.
struct ServiceState {
    WorklistSettings settings;
    PerformedSteps steps{settings};
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

// What IT should know at start: a store that cannot be read now (the service still starts, and opens it again at
// every query), and a station whose scanner `accept` would refuse.
void logStartWarnings(const WorklistSettings& settings) {
    try {
        const auto db = openDatabase(settings.database);
        readScheduledBookings(*db, {QStringLiteral("1")}, QDate::currentDate(), QDate::currentDate());
    } catch (const DbError& e) {
        logLine(QStringLiteral("データベースを開けません (%1): 開けるようになるまで、問い合わせには C001H で答えます")
                    .arg(e.message()));
    }
    if (settings.accept.isEmpty()) return;
    for (const Station& station : settings.stations) {
        if (settings.accept.contains(station.aeTitle)) continue;
        logLine(QStringLiteral("[stations] の %1 (部屋 %2) は accept にないため、その装置の関連付けは断られます")
                    .arg(station.aeTitle, station.roomCode));
    }
}

// The associations whose request has come, each waiting for a thread to serve it.
class AssociationQueue {
  public:
    // False when it holds as many as may wait: the request is refused then (local limit exceeded).
    bool push(T_ASC_Association* association) {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= static_cast<std::size_t>(kMaxAssociations)) return false;
        queue_.push_back(association);
        ready_.notify_one();
        return true;
    }

    // The next association, or null when none has come for the timeout.
    T_ASC_Association* take(std::chrono::seconds timeout) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return nullptr;
        T_ASC_Association* association = queue_.front();
        queue_.pop_front();
        return association;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<T_ASC_Association*> queue_;
};

void dropAssociation(T_ASC_Association* association) {
    ASC_dropAssociation(association);
    ASC_destroyAssociation(&association);
}

void refuseForLoad(T_ASC_Association* association, const QString& peer) {
    T_ASC_RejectParameters reject{ASC_RESULT_REJECTEDTRANSIENT, ASC_SOURCE_SERVICEPROVIDER_PRESENTATION_RELATED,
                                  ASC_REASON_SP_PRES_LOCALLIMITEXCEEDED};
    ASC_rejectAssociation(association, &reject);
    dropAssociation(association);
    logLine(
        QStringLiteral("%1: 関連付けを断りました: %2 の関連付けが処理を待っています").arg(peer).arg(kMaxAssociations));
}

// The one thread that takes the connections: each, once its whole association request has come, is read by dcmtk
// (from the socket handed to it, which is how dcmtk takes a socket it did not accept itself) and queued for the
// threads that serve associations. Reading the request never waits: it lies whole in the socket's buffer.
[[noreturn]] void takeConnections(IncomingConnections& incoming, T_ASC_Network* network, AssociationQueue& queue,
                                  const DcmSharedSCPConfig& config) {
    for (;;) {
        const IncomingConnections::Ready ready = incoming.next();
        T_ASC_Association* association = nullptr;
        dcmExternalSocketHandle.set(ready.socket);
        const OFCondition cond =
            ASC_receiveAssociation(network, &association, config->getMaxReceivePDULength(), nullptr, nullptr, OFFalse,
                                   DUL_NOBLOCK, static_cast<int>(kNetworkTimeoutSeconds));
        dcmExternalSocketHandle.set(-1);
        if (cond.bad()) {
            logLine(
                QStringLiteral("%1: 関連付け要求を読めません: %2").arg(ready.peer, QString::fromLatin1(cond.text())));
            // Once dcmtk has made the connection its own, dropping the association closes the socket.
            const bool socketTaken = association && association->DULassociation;
            if (association) dropAssociation(association);
            if (!socketTaken) ::close(ready.socket);
            continue;
        }
        if (!queue.push(association)) refuseForLoad(association, ready.peer);
    }
}

// One of the service's threads: serves the associations of the queue one after the other. The thread keeps its
// database connection from one association to the next (opening one on a server costs more than the query), and
// closes it when no association has come for the network timeout.
[[noreturn]] void serveAssociations(AssociationQueue& queue, const DcmSharedSCPConfig& config, ServiceState& state) {
    StoreConnection connection(state.settings.database);
    for (;;) {
        T_ASC_Association* association = queue.take(std::chrono::seconds(kNetworkTimeoutSeconds));
        if (!association) {
            connection.drop();
            continue;
        }
        Association scp(state.settings, state.steps, connection);
        scp.setSharedConfig(config);
        scp.run(association);
    }
}

}  // namespace

QString runWorklistService(const WorklistSettings& settings) {
    static ServiceState state{settings};
    static IncomingConnections incoming;
    static AssociationQueue queue;
    DcmSharedSCPConfig config;
    configure(*config, settings);
    // The log names peers by address; a reverse lookup of each would cost every association a resolver's wait.
    dcmDisableGethostbyaddr.set(OFTrue);
    const QString listening = incoming.listen(settings.port);
    if (!listening.isEmpty()) return listening;
    // dcmtk's network without a listening socket of its own (as when a socket is handed to it): the port is
    // IncomingConnections'.
    T_ASC_Network* network = nullptr;
    dcmExternalSocketHandle.set(STDERR_FILENO);
    OFCondition cond =
        ASC_initializeNetwork(NET_ACCEPTOR, settings.port, static_cast<int>(kNetworkTimeoutSeconds), &network);
    dcmExternalSocketHandle.set(-1);
    if (cond.bad()) return QString::fromLatin1(cond.text());
    logLine(QStringLiteral("%1 をポート %2 で待ち受けます (データベース: %3)")
                .arg(settings.aeTitle)
                .arg(settings.port)
                .arg(withoutPassword(settings.database)));
    logStartWarnings(settings);
    // A fixed set of threads, each serving associations one after the other with its own connection to the store;
    // a scanner that comes while all are busy waits in the queue. dcmtk's own pool is not used: in 3.6.7 a worker
    // that ends at once (a peer that aborts before anything else) is freed while the pool is still starting it,
    // and the pool reads every association request on its one listening thread, however long the peer takes.
    for (int i = 0; i < kMaxAssociations; ++i)
        std::thread(serveAssociations, std::ref(queue), config, std::ref(state)).detach();
    takeConnections(incoming, network, queue, config);
}

}  // namespace kesola::worklist
