#pragma once

#include <QString>

namespace kesola::bench {

// The PostgreSQL server a benchmark measures: the one KESOLA_BENCH_PG_URI names, or a throwaway one of its own
// (scripts/pg-test-server.sh) with its cluster in `folder`, stopped again when this ends. A benchmark that opens
// more connections than the script's default asks for them with maxConnections.
class BenchServer {
  public:
    explicit BenchServer(const QString& folder, int maxConnections = 0);
    ~BenchServer();
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    // The URI of the server's own database, for making others.
    const QString& adminUri() const { return adminUri_; }
    // The URI of the database `name` on the same server.
    QString databaseUri(const QString& name) const;

  private:
    QString runScript(const QString& command) const;

    QString folder_;
    int maxConnections_;
    QString adminUri_;
    bool own_ = false;
};

}  // namespace kesola::bench
