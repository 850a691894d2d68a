#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace kesola::test {

// A PostgreSQL server of the test's own, made and run by scripts/pg-test-server.sh in a temporary folder. Tests
// that stop and restart a server use it, since the shared test server must stay up for the tests running beside
// them. Starting takes a second or two (initdb); it is stopped when destroyed.
class PrivateTestServer {
  public:
    PrivateTestServer() { started_ = start(); }
    ~PrivateTestServer() {
        if (started_) stop();
    }
    PrivateTestServer(const PrivateTestServer&) = delete;
    PrivateTestServer& operator=(const PrivateTestServer&) = delete;

    bool started() const { return started_; }
    // The URI of the server's database `postgres` (trust authentication, user postgres).
    QString uri() const { return uri_; }

    bool start() { return run(QStringLiteral("start"), &uri_); }
    bool stop() { return run(QStringLiteral("stop"), nullptr); }

  private:
    static QString script() {
        const QString configured = qEnvironmentVariable("KESOLA_PG_SERVER_SCRIPT");
        return configured.isEmpty() ? QStringLiteral(KESOLA_SOURCE_DIR "/scripts/pg-test-server.sh") : configured;
    }

    bool run(const QString& command, QString* output) {
        QProcess p;
        p.start(script(), {command, dir_.path()});
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            ADD_FAILURE() << script().toStdString() << ' ' << command.toStdString()
                          << " failed: " << p.readAllStandardError().toStdString();
            return false;
        }
        if (output) *output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return true;
    }

    QTemporaryDir dir_;
    QString uri_;
    bool started_ = false;
};

}  // namespace kesola::test
