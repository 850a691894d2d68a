#include "admin/PatientRegisterCheck.h"

#include "store/PatientId.h"
#include "store/PatientRegister.h"
#include "store/Schema.h"
#include "store/engine/QtSqlDatabase.h"

namespace kesola {

namespace {

constexpr int kLinesPerCheck = 20;

QString rowProblem(const RegisteredPatient& p) {
    if (!isValidPatientId(p.KANJYAID) || p.KANJYAID.isEmpty())
        return QStringLiteral("not up to %1 letters, digits and hyphens").arg(kPatientIdMaxLength);
    if (!p.birthDate().isValid()) return QStringLiteral("birth date \"%1\" is not YYYYMMDD").arg(p.SEINENGAPPI);
    if (p.SEX != QStringLiteral("1") && p.SEX != QStringLiteral("2"))
        return QStringLiteral("sex \"%1\" is not 1 or 2").arg(p.SEX);
    return {};
}

}  // namespace

void checkPatientRegister(QtSqlDatabase& db, QStringList& problems) {
    if (!db.hasIndex(mainKeyIndexName(patientRegisterTable().name)))
        problems << QStringLiteral("table KANJYAMST has no MAIN_KEY index");
    int found = 0;
    forEachRegisteredPatient(db, [&](const RegisteredPatient& p) {
        const QString problem = rowProblem(p);
        if (problem.isEmpty()) return;
        if (found++ < kLinesPerCheck)
            problems << QStringLiteral("registered patient \"%1\": %2").arg(p.KANJYAID, problem);
    });
    if (found > kLinesPerCheck)
        problems << QStringLiteral("... %1 more registered patients with a wrong value").arg(found - kLinesPerCheck);
}

}  // namespace kesola
