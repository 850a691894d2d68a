#include "worklist/WorklistService.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dul.h>
#include <dcmtk/dcmnet/scpthrd.h>
#include <malloc.h>
#include <unistd.h>

#include <QDate>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

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

// The associations whose request has come, handed to the service's threads. An association goes to the thread that
// became idle last: under a light load the same few threads serve every scanner, and only their store connections
// and memory stay warm; the others close theirs after the network timeout. The service's size follows how many
// scanners ask at once, not how many threads it has.
class AssociationQueue {
  public:
    // One thread's place in the queue.
    struct Worker {
        std::condition_variable wake;
        T_ASC_Association* given = nullptr;
    };

    // False when as many associations as there are threads already wait: the request is refused then.
    bool push(T_ASC_Association* association) {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            Worker* worker = idle_.back();
            idle_.pop_back();
            worker->given = association;
            worker->wake.notify_one();
            return true;
        }
        if (waiting_.size() >= static_cast<std::size_t>(kMaxAssociations)) return false;
        waiting_.push_back(association);
        return true;
    }

    // The next association for the thread, or null when none has come for the timeout. A thread without a store
    // connection (`cold`) waits behind the others.
    T_ASC_Association* take(Worker& self, bool cold, std::chrono::seconds timeout) {
        std::unique_lock lock(mutex_);
        if (!waiting_.empty()) {
            T_ASC_Association* association = waiting_.front();
            waiting_.pop_front();
            return association;
        }
        self.given = nullptr;
        cold ? idle_.push_front(&self) : idle_.push_back(&self);
        if (self.wake.wait_for(lock, timeout, [&self] { return self.given != nullptr; })) {
            return std::exchange(self.given, nullptr);
        }
        idle_.erase(std::find(idle_.begin(), idle_.end(), &self));
        return nullptr;
    }

  private:
    std::mutex mutex_;
    std::deque<T_ASC_Association*> waiting_;
    std::deque<Worker*> idle_;  // the last one became idle most recently
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
    AssociationQueue::Worker self;
    bool cold = true;
    for (;;) {
        T_ASC_Association* association = queue.take(self, cold, std::chrono::seconds(kNetworkTimeoutSeconds));
        cold = !association;
        if (!association) {
            connection.drop();
            continue;
        }
        Association scp(state.settings, state.steps, connection);
        scp.setSharedConfig(config);
        scp.run(association);
        // A year's answers leave megabytes free in this thread's heap; they go back to the system, so that the
        // service's size settles instead of keeping each thread's largest answer.
        malloc_trim(0);
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
    // The start's warnings come first: once the listening line is out, the service no longer reads the store
    // outside an association.
    logStartWarnings(settings);
    logLine(QStringLiteral("%1 をポート %2 で待ち受けます (データベース: %3)")
                .arg(settings.aeTitle)
                .arg(settings.port)
                .arg(withoutPassword(settings.database)));
    // A fixed set of threads, each serving associations one after the other with its own connection to the store;
    // a scanner that comes while all are busy waits in the queue. dcmtk's own pool is not used: in 3.6.7 a worker
    // that ends at once (a peer that aborts before anything else) is freed while the pool is still starting it,
    // and the pool reads every association request on its one listening thread, however long the peer takes.
    for (int i = 0; i < kMaxAssociations; ++i)
        std::thread(serveAssociations, std::ref(queue), config, std::ref(state)).detach();
    takeConnections(incoming, network, queue, config);
}

}  // namespace kesola::worklist
