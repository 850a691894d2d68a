#pragma once

#include <QDate>
#include <QTemporaryDir>
#include <memory>

#include "store/Clock.h"
#include "store/Database.h"
#include "store/Pro000.h"
#include "tests/support/FakeServices.h"
#include "ui/AppContext.h"

namespace kesola::test {

// A fresh database in a temporary folder, made by the same code as kesola-admin.
class TestDatabase {
  public:
    explicit TestDatabase(const QString& title = QStringLiteral("ＭＲＩ予約システム"));
    QString path() const { return path_; }
    QString folder() const { return dir_.path(); }
    // Opens another connection to the same file (as another workstation would).
    std::unique_ptr<Database> connect() const;

    // Convenience writers, through bound parameters.
    void addRoom(const QString& code, const QString& name) const;
    void addDepartment(const QString& code, const QString& name, int br, int bg, int bb, int fr, int fg, int fb) const;
    void addBodyPart(const QString& code, const QString& name) const;
    void addReservation(const QString& code, const QString& minutes, const QString& department, const QString& name,
                        const QString& bodyPart, const QString& status, const QString& sex = QStringLiteral("1"),
                        const QString& age = QStringLiteral("40"), const QString& remarks = QString()) const;
    QString lockValue() const;
    int count(const QString& table) const;

  private:
    QTemporaryDir dir_;
    QString path_;
};

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
