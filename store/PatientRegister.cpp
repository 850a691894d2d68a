#include "store/PatientRegister.h"

#include <QHash>
#include <QStringList>

#include "store/Schema.h"
#include "store/engine/Database.h"
#include "store/engine/DbError.h"

namespace kesola {

namespace {

// A batch of IDs is looked up and its new rows inserted with one statement each. Small batches: SQLite finds each
// bound value by a walk over the statement's list of them, so a statement's cost grows with the square of its values
// (500 rows of six values took four times as long as the same rows in batches of 50).
constexpr int kRowsPerStatement = 50;
constexpr int kPageRows = 5000;

const QString kColumns = QStringLiteral("KANJYAID, SHIMEI, KANA, SEINENGAPPI, SEX");

RegisteredPatient patientFrom(const RecordSet& rs) {
    return {rs.field(QStringLiteral("KANJYAID")), rs.field(QStringLiteral("SHIMEI")), rs.field(QStringLiteral("KANA")),
            rs.field(QStringLiteral("SEINENGAPPI")), rs.field(QStringLiteral("SEX"))};
}

QString marks(int count) { return QStringList(count, QStringLiteral("?")).join(u','); }

QHash<QString, RegisteredPatient> registeredAmong(Database& db, const std::vector<RegisteredPatient>& patients,
                                                  size_t first, size_t end) {
    QVariantList ids;
    for (size_t i = first; i < end; ++i) ids << patients[i].KANJYAID;
    auto rs = db.selectNative(
        QStringLiteral("SELECT %1 FROM KANJYAMST WHERE KANJYAID IN (%2)").arg(kColumns, marks(ids.size())), ids);
    QHash<QString, RegisteredPatient> found;
    for (; !rs->eof(); rs->moveNext()) {
        RegisteredPatient p = patientFrom(*rs);
        found.insert(p.KANJYAID, p);
    }
    rs->close();
    return found;
}

void insertPatients(Database& db, const std::vector<const RegisteredPatient*>& rows, const QString& now) {
    if (rows.empty()) return;
    QVariantList params;
    for (const RegisteredPatient* p : rows)
        params << p->KANJYAID << p->SHIMEI << p->KANA << p->SEINENGAPPI << p->SEX << now;
    const QString row = u'(' + marks(6) + u')';
    db.execute(QStringLiteral("INSERT INTO KANJYAMST (%1, KOSHIN) VALUES %2")
                   .arg(kColumns, QStringList(static_cast<int>(rows.size()), row).join(u',')),
               params);
}

void replacePatient(Database& db, const RegisteredPatient& p, HistoryWriter& history, const QString& now) {
    const QString before = history.rowUnder(patientRegisterTable(), p.KANJYAID);
    db.execute(QStringLiteral("UPDATE KANJYAMST SET SHIMEI = ?, KANA = ?, SEINENGAPPI = ?, SEX = ?, KOSHIN = ? "
                              "WHERE KANJYAID = ?"),
               {p.SHIMEI, p.KANA, p.SEINENGAPPI, p.SEX, now, p.KANJYAID});
    history.record(history_actions::kPatientChanged, patientRegisterTable(), p.KANJYAID, before);
}

// Whether a table can be read; a store that is busy or gone cannot say, and that is not taken for "missing".
bool tableReadable(Database& db, const QString& name) {
    try {
        db.select(QStringLiteral("SELECT * FROM %1 WHERE 1=0").arg(name))->close();
        return true;
    } catch (const DbError& e) {
        if (e.kind() != DbError::Kind::Other) throw;
        return false;
    }
}

bool isKatakana(char16_t c) { return (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FD || c == 0x30FE; }

}  // namespace

const TableSchema& patientRegisterTable() {
    static const TableSchema table{QStringLiteral("KANJYAMST"),
                                   QStringLiteral("KANJYAID"),
                                   {QStringLiteral("KANJYAID"), QStringLiteral("SHIMEI"), QStringLiteral("KANA"),
                                    QStringLiteral("SEINENGAPPI"), QStringLiteral("SEX"), QStringLiteral("KOSHIN")}};
    return table;
}

void addPatientRegisterTable(Database& db) {
    const TableSchema& table = patientRegisterTable();
    QStringList defs;
    for (const QString& column : table.columns) {
        defs << column + QStringLiteral(" TEXT") +
                    (column == table.keyColumn ? db.byteOrderCollation() + QStringLiteral(" NOT NULL") : QString());
    }
    db.execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(table.name, defs.join(QStringLiteral(", "))));
    db.execute(QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                   .arg(mainKeyIndexName(table.name), table.name, table.keyColumn));
}

void createPatientRegisterTable(Database& db) {
    WriteTransaction tx(db);
    addPatientRegisterTable(db);
    tx.commit();
}

bool hasPatientRegisterTable(Database& db) { return tableReadable(db, patientRegisterTable().name); }

std::optional<RegisteredPatient> findRegisteredPatient(Database& db, const QString& id) {
    if (id.isEmpty() || !hasPatientRegisterTable(db)) return std::nullopt;
    auto rs = db.selectNative(QStringLiteral("SELECT %1 FROM KANJYAMST WHERE KANJYAID = ?").arg(kColumns), {id});
    std::optional<RegisteredPatient> found;
    if (!rs->eof()) found = patientFrom(*rs);
    rs->close();
    return found;
}

int ageOn(QDate birthDate, QDate day) {
    if (!birthDate.isValid() || !day.isValid() || day < birthDate) return -1;
    int age = day.year() - birthDate.year();
    if (day.month() < birthDate.month() || (day.month() == birthDate.month() && day.day() < birthDate.day())) --age;
    return age;
}

RegisterWriteCounts writePatients(Database& db, const std::vector<RegisteredPatient>& patients, HistoryWriter& history,
                                  const QString& now) {
    RegisterWriteCounts counts;
    for (size_t first = 0; first < patients.size(); first += kRowsPerStatement) {
        const size_t end = std::min(patients.size(), first + kRowsPerStatement);
        const QHash<QString, RegisteredPatient> registered = registeredAmong(db, patients, first, end);
        std::vector<const RegisteredPatient*> added;
        for (size_t i = first; i < end; ++i) {
            const RegisteredPatient& p = patients[i];
            const auto stored = registered.constFind(p.KANJYAID);
            if (stored == registered.cend()) {
                added.push_back(&p);
            } else if (*stored == p) {
                ++counts.unchanged;
            } else {
                replacePatient(db, p, history, now);
                ++counts.changed;
            }
        }
        insertPatients(db, added, now);
        counts.added += static_cast<qint64>(added.size());
    }
    return counts;
}

void forEachRegisteredPatient(Database& db, const std::function<void(const RegisteredPatient&)>& each) {
    QString lastId;
    for (bool firstPage = true;; firstPage = false) {
        auto rs = db.selectNative(QStringLiteral("SELECT %1 FROM KANJYAMST %2ORDER BY KANJYAID LIMIT %3")
                                      .arg(kColumns, firstPage ? QString() : QStringLiteral("WHERE KANJYAID > ? "))
                                      .arg(kPageRows),
                                  firstPage ? QVariantList() : QVariantList{lastId});
        int rows = 0;
        for (; !rs->eof(); rs->moveNext(), ++rows) {
            const RegisteredPatient p = patientFrom(*rs);
            lastId = p.KANJYAID;
            each(p);
        }
        rs->close();
        if (rows < kPageRows) return;
    }
}

QString registerKana(const QString& kana) {
    QString out;
    out.reserve(kana.size());
    for (qsizetype i = 0; i < kana.size(); ++i) {
        const char16_t c = kana[i].unicode();
        if (c >= 0xFF61 && c <= 0xFF9F) {
            // A half-width letter and the sound mark after it make one full-width letter.
            QString run(kana[i]);
            if (i + 1 < kana.size() && (kana[i + 1] == QChar(0xFF9E) || kana[i + 1] == QChar(0xFF9F))) run += kana[++i];
            out += run.normalized(QString::NormalizationForm_KC);
        } else if ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E) {
            out += QChar(static_cast<char16_t>(c + 0x60));
        } else if (c == u' ') {
            out += QChar(0x3000);
        } else {
            out += kana[i];
        }
    }
    return out;
}

bool isRegisterKana(const QString& kana) {
    bool anyKatakana = false;
    for (QChar c : kana) {
        const char16_t u = c.unicode();
        if (isKatakana(u)) {
            anyKatakana = true;
        } else if (u != 0x30FC && u != 0x30FB && u != 0x3000) {
            return false;
        }
    }
    return anyKatakana;
}

}  // namespace kesola
