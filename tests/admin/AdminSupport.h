#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>

#include "admin/AdminCommands.h"
#include "admin/AdminStores.h"
#include "store/PatientRegister.h"
#include "store/Schema.h"
#include "store/engine/OpenDatabase.h"

namespace kesola::test {

// One run of kesola-admin with its output captured.
struct AdminRun {
    int status = -1;
    QString out;
    QString err;
};

inline AdminRun runAdminCommand(const QStringList& args) {
    AdminRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = runAdmin(args, out, err, QDate(2005, 3, 7));
    out.flush();
    err.flush();
    return run;
}

// Every row of the seven tables, the patient IDs and the patient register as text, NULL told apart from the empty text,
// in key order: equal dumps mean equal stores.
inline QStringList dumpStore(const QString& location) {
    auto db = openDatabase(location);
    QStringList rows;
    std::vector<const TableSchema*> tables;
    for (const TableSchema& table : allTables()) tables.push_back(&table);
    if (identityFormOf(*db) == IdentityForm::Recorded) {
        for (const TableSchema* t : {&recordedPatientIdTable(), &studyTable(), &performedStepTable()})
            tables.push_back(t);
    } else if (hasPatientIdTable(*db)) {
        tables.push_back(&patientIdTable());
    }
    if (hasPatientRegisterTable(*db)) tables.push_back(&patientRegisterTable());
    for (const TableSchema* t : tables) {
        const TableSchema& table = *t;
        QStringList columns;
        for (const QString& c : table.columns)
            columns << c << QStringLiteral("CASE WHEN %1 IS NULL THEN 'NULL' ELSE '' END AS %1_N").arg(c);
        auto rs = db->selectNative(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(columns.join(u','), table.name, table.keyColumn), {});
        for (; !rs->eof(); rs->moveNext()) {
            QString row = table.name;
            for (const QString& c : table.columns) {
                row += u'|' + (rs->field(c + QStringLiteral("_N")).isEmpty() ? rs->field(c) : QStringLiteral("<NULL>"));
            }
            rows << row;
        }
    }
    return rows;
}

// A source file with a little of everything: demo masters and reservations, a remark that is empty and one that
// is NULL, a ward row, text with quotes and commas, more reservations than one page of the copy, and registered
// patients.
inline void fillVariedStore(const QString& location) {
    auto db = openDatabase(location);
    db->execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 6999) "
        "INSERT INTO KESOLA (CODE, Min, YNAME) SELECT '3' || (200000000000 + i), '10', 'p' || i FROM n"));
    db->execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min, KA, BYOTO, YNAME, BUI, SEX, AGE, JYOKYO, ETC) "
                               "VALUES ('2200401010930', '30', '03', 'N', ?, '05', '2', '7', '1', '')"),
                {QStringLiteral("O'Brien, \"ジョン\"")});
    db->execute(QStringLiteral("INSERT INTO KESOLA (CODE, Min, YNAME) VALUES ('2200401011000', '10', ?)"),
                {QStringLiteral("名前だけ")});
    db->execute(QStringLiteral("INSERT INTO BYOTO (CODE, BNAME) VALUES ('1', ?)"), {QStringLiteral("東病棟")});
    db->execute(
        QStringLiteral("INSERT INTO KANJYA (CODE, KANJYAID) SELECT CODE, 'P-' || CODE FROM KESOLA "
                       "WHERE CODE LIKE '2%' AND CODE NOT IN (SELECT CODE FROM KANJYA)"));
    db->execute(QStringLiteral("INSERT INTO KENSA (CODE, STUDYUID, YNAME) VALUES ('2200401010930', '2.25.1', ?)"),
                {QStringLiteral("O'Brien, \"ジョン\"")});
    db->execute(QStringLiteral("INSERT INTO KANJYAMST (KANJYAID, SHIMEI, KANA, SEINENGAPPI, SEX, KOSHIN) VALUES "
                               "('P-2200401010930', ?, ?, '19700401', '2', '2004-01-01 09:00:00'), "
                               "('P-9', ?, ?, '20000229', '1', NULL)"),
                {QStringLiteral("山田　花子"), QStringLiteral("ヤマダ　ハナコ"), QStringLiteral("髙橋"),
                 QStringLiteral("タカハシ")});
}

}  // namespace kesola::test
