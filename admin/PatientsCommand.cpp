#include "admin/PatientsCommand.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

#include "admin/AdminStores.h"
#include "admin/PatientFile.h"
#include "store/History.h"
#include "store/PatientRegister.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"

namespace kesola {

namespace {

struct PatientsOptions {
    QString command;
    QString database;
    QString file;
    bool dryRun = false;
};

bool parsePatients(const QStringList& args, PatientsOptions& options, QTextStream& err) {
    QStringList places;
    for (const QString& a : args.mid(1)) {
        if (a == QStringLiteral("--dry-run") && args.value(1) == QStringLiteral("import")) {
            options.dryRun = true;
        } else if (a.startsWith(QStringLiteral("--"))) {
            err << "kesola-admin: unknown option " << a << "\n";
            return false;
        } else {
            places << a;
        }
    }
    if (places.size() != 3 || (places[0] != QStringLiteral("import") && places[0] != QStringLiteral("export"))) {
        err << "kesola-admin: patients needs import DATABASE FILE [--dry-run] or export DATABASE FILE\n";
        return false;
    }
    options.command = places[0];
    options.database = places[1];
    options.file = places[2];
    return true;
}

QString noRegister(const QString& location) {
    return QStringLiteral(
               "kesola-admin: %1 に患者台帳 KANJYAMST がありません。kesola-admin upgrade %1 で加えてください\n")
        .arg(shown(location));
}

// Writes the patients in one transaction, or (dry run) finds out what that would do and rolls it back.
RegisterWriteCounts importInto(Database& db, const std::vector<RegisteredPatient>& patients, bool dryRun) {
    HistoryWriter history(db, HistoryActor{QStringLiteral("kesola-admin"), qEnvironmentVariable("USER")});
    WriteTransaction tx(db);
    const RegisterWriteCounts counts = writePatients(
        db, patients, history, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    if (!dryRun) tx.commit();
    return counts;
}

int importPatients(const PatientsOptions& options, QTextStream& out, QTextStream& err, QDate today) {
    QFile file(options.file);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "kesola-admin: " << options.file << " を読めません: " << file.errorString() << "\n";
        return 1;
    }
    const PatientFileContents contents = readPatientFile(file.readAll(), today);
    for (const PatientFileProblem& p : contents.problems) err << options.file << ":" << p.line << ": " << p.why << "\n";
    if (!contents.problems.empty()) {
        err << "kesola-admin: " << options.file << " の " << contents.problems.size()
            << " 行に誤りがあるため、患者を1人も取り込んでいません\n";
        return 1;
    }
    try {
        auto db = openDatabase(options.database);
        if (!hasPatientRegisterTable(*db)) {
            err << noRegister(options.database);
            return 1;
        }
        const RegisterWriteCounts counts = importInto(*db, contents.patients, options.dryRun);
        out << (options.dryRun ? "確認のみ（何も書き込んでいません）: " : "") << options.file << " ("
            << contents.encoding << ") の患者 " << contents.patients.size() << " 人: 追加 " << counts.added << "、更新 "
            << counts.changed << "、変更なし " << counts.unchanged << "\n";
        return 0;
    } catch (const DbError& e) {
        err << "kesola-admin: " << shown(options.database)
            << " に取り込めません（何も変わっていません）: " << e.message() << "\n";
        return 1;
    }
}

int exportPatients(const PatientsOptions& options, QTextStream& out, QTextStream& err) {
    QSaveFile file(options.file);
    qint64 count = 0;
    try {
        auto db = openDatabase(options.database);
        if (!hasPatientRegisterTable(*db)) {
            err << noRegister(options.database);
            return 1;
        }
        if (!file.open(QIODevice::WriteOnly)) throw DbError(file.errorString());
        file.write(patientFileHeader());
        forEachRegisteredPatient(*db, [&](const RegisteredPatient& p) {
            file.write(patientFileLine(p));
            ++count;
        });
    } catch (const DbError& e) {
        file.cancelWriting();
        err << "kesola-admin: " << options.file << " に書き出せません: " << e.message() << "\n";
        return 1;
    }
    if (!file.commit()) {
        err << "kesola-admin: " << options.file << " に書き出せません: " << file.errorString() << "\n";
        return 1;
    }
    out << options.file << " に患者 " << count << " 人を書き出しました\n";
    return 0;
}

}  // namespace

int runPatients(const QStringList& args, QTextStream& out, QTextStream& err, QDate today) {
    PatientsOptions options;
    if (!parsePatients(args, options, err)) return 2;
    if (options.command == QStringLiteral("import")) return importPatients(options, out, err, today);
    return exportPatients(options, out, err);
}

}  // namespace kesola
