#pragma once

#include <QDate>
#include <QTemporaryDir>
#include <memory>

#include "store/Clock.h"
#include "store/Pro000.h"
#include "store/engine/Database.h"
#include "tests/support/FakeServices.h"
#include "ui/AppContext.h"

namespace kesola::test {

// The database tests run against SQLite files, or, when KESOLA_TEST_PG_URI names a PostgreSQL server (scripts/test.sh
// starts one), against databases of their own on that server.
bool testingOnPostgres();

// An empty database of its own on the test server, made with CREATE DATABASE and dropped when destroyed.
// Requires: testingOnPostgres().
class ServerScratchDatabase {
  public:
    ServerScratchDatabase();
    ~ServerScratchDatabase();
    ServerScratchDatabase(const ServerScratchDatabase&) = delete;
    ServerScratchDatabase& operator=(const ServerScratchDatabase&) = delete;

    QString name() const { return name_; }
    // The libpq URI of this database (the test server's URI with the database name replaced).
    QString uri() const { return uri_; }

  private:
    QString name_;
    QString uri_;
};

// The URI of another database on the server named by uri: the database part replaced by name.
QString uriWithDatabase(const QString& uri, const QString& name);

// A fresh database, made by the same code as kesola-admin: a file in a temporary folder, or a database of its own on
// the test server (see testingOnPostgres()). The temporary folder exists in both cases.
class TestDatabase {
  public:
    explicit TestDatabase(const QString& title = QStringLiteral("ＭＲＩ予約システム"));
    // What the settings file holds for this database: the file's path, or the server database's URI.
    QString path() const { return path_; }
    QString folder() const { return dir_.path(); }
    bool onServer() const { return server_ != nullptr; }
    // Opens another connection to the same database (as another workstation would).
    std::unique_ptr<Database> connect() const;

    // Convenience writers, through bound parameters.
    void addRoom(const QString& code, const QString& name) const;
    void addDepartment(const QString& code, const QString& name, int br, int bg, int bb, int fr, int fg, int fb) const;
    void addBodyPart(const QString& code, const QString& name) const;
    void addReservation(const QString& code, const QString& minutes, const QString& department, const QString& name,
                        const QString& bodyPart, const QString& status, const QString& sex = QStringLiteral("1"),
                        const QString& age = QStringLiteral("40"), const QString& remarks = QString()) const;
    // Books every cell of the room's days from first to last (both included): 7:00 to 19:00 in two-hour bookings,
    // then one hour.
    void bookWholeDays(const QString& room, QDate first, QDate last) const;
    QString lockValue() const;
    int count(const QString& table) const;
    // Another workstation in the middle of a long write that keeps readers out as well as writers, until the
    // returned connection rolls back or closes.
    std::unique_ptr<Database> holdWholeStore() const;

  private:
    QTemporaryDir dir_;
    std::unique_ptr<ServerScratchDatabase> server_;
    QString path_;
};

// The plan the engine chooses for a statement of the Jet dialect, as one text for assertions:
// Makes every later statement of the given kind (INSERT, UPDATE or DELETE) on the table fail inside the engine, as a
// full disk or a lost connection would.
void failWrites(const TestDatabase& db, const QString& table, const QString& statement);

// SQLite: the details of EXPLAIN QUERY PLAN joined by ';' (e.g. "SEARCH KESOLA USING INDEX MAIN_KEY_KESOLA (...)").
// PostgreSQL: the lines of EXPLAIN EXECUTE for the statement prepared as the layer prepares it, after it has run
// often enough for the server to settle on the plan it keeps (e.g. "Index Scan using main_key_kesola on kesola").
QString queryPlan(const TestDatabase& db, const QString& jetSql);

// Globals and services for a window under test: globals pointing at the database, scripted boxes and windows.
struct TestContext {
    explicit TestContext(const TestDatabase* db, QDate today = QDate(2005, 3, 7));

    ScriptedMessages messages;
    ScriptedModal modal;
    RecordingPrinter printer;
    FixedClock clock;
    Pro000 g;
    AppContext ctx{g, modal, printer};
};

}  // namespace kesola::test
