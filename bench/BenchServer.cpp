#include "bench/BenchServer.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <cstdio>
#include <cstdlib>

namespace kesola::bench {

BenchServer::BenchServer(const QString& folder, int maxConnections) : folder_(folder), maxConnections_(maxConnections) {
    adminUri_ = qEnvironmentVariable("KESOLA_BENCH_PG_URI");
    own_ = adminUri_.isEmpty();
    if (own_) adminUri_ = runScript(QStringLiteral("start"));
}

BenchServer::~BenchServer() {
    if (own_) runScript(QStringLiteral("stop"));
}

QString BenchServer::databaseUri(const QString& name) const {
    const qsizetype query = adminUri_.indexOf(u'?');
    const QString head = adminUri_.left(query < 0 ? adminUri_.size() : query);
    const QString tail = query < 0 ? QString() : adminUri_.mid(query);
    return head.left(head.indexOf(u'/', QStringLiteral("postgresql://").size())) + u'/' + name + tail;
}

QString BenchServer::runScript(const QString& command) const {
    QProcess p;
    if (maxConnections_ > 0) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESOLA_PG_MAX_CONNECTIONS"), QString::number(maxConnections_));
        p.setProcessEnvironment(env);
    }
    p.start(QStringLiteral(KESOLA_SOURCE_DIR "/scripts/pg-test-server.sh"), {command, folder_});
    p.waitForFinished(120000);
    if (p.exitCode() != 0) {
        std::fprintf(stderr, "%s\n", p.readAllStandardError().constData());
        std::exit(1);
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace kesola::bench
