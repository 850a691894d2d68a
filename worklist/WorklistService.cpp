#include "worklist/WorklistService.h"

#include <arpa/inet.h>
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dul.h>
#include <dcmtk/dcmnet/scpthrd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QRegularExpression>
#include <functional>
#include <thread>

#include "worklist/Association.h"
#include "worklist/AssociationContext.h"
#include "worklist/PerformedSteps.h"
#include "worklist/ServiceLog.h"

namespace kesola::worklist {

namespace {

// How long a silent peer may keep its association's thread: a scanner switched off in the middle of a query.
constexpr Uint32 kNetworkTimeoutSeconds = 60;

// What every association shares. Set once before the first association and never changed.
struct ServiceState {
    WorklistSettings settings;
    PerformedSteps steps;
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
[[noreturn]] void serveAssociations(T_ASC_Network* network, const DcmSharedSCPConfig& config, ServiceState& state) {
    StoreConnection connection(state.settings.database);
    for (;;) {
        T_ASC_Association* association = nullptr;
        const OFCondition cond =
            ASC_receiveAssociation(network, &association, config->getMaxReceivePDULength(), nullptr, nullptr, OFFalse,
                                   DUL_NOBLOCK, static_cast<int>(kNetworkTimeoutSeconds));
        if (cond == DUL_NOASSOCIATIONREQUEST) connection.drop();
        if (cond.bad()) {
            if (association) {
                ASC_dropAssociation(association);
                ASC_destroyAssociation(&association);
            }
            continue;
        }
        Association scp(state.settings, state.steps, connection);
        scp.setSharedConfig(config);
        scp.run(association);
    }
}

}  // namespace

QString runWorklistService(const WorklistSettings& settings) {
    static ServiceState state{settings, {}};
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
    for (int i = 1; i < kMaxAssociations; ++i)
        std::thread(serveAssociations, network, config, std::ref(state)).detach();
    serveAssociations(network, config, state);
}

}  // namespace kesola::worklist
