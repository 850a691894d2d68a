// kesola-admin patients import of 1,000,000 patients from a cp932 file, as a hospital's first import into an empty
// register, then the same file again with one patient in a hundred changed (the monthly re-import: every row is
// compared, the changed ones replaced and recorded in the history), and the export of the whole register.
//
//   patients_bench [patients=1000000]

#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "admin/AdminCommands.h"
#include "admin/PatientFile.h"
#include "store/Cp932.h"

using namespace kesola;

namespace {

int kPatients = 1000000;

const QString kFamilies[] = {QStringLiteral("山田"), QStringLiteral("佐藤"), QStringLiteral("鈴木"),
                             QStringLiteral("高橋")};
const QString kFamilyKana[] = {QStringLiteral("ﾔﾏﾀﾞ"), QStringLiteral("サトウ"), QStringLiteral("スズキ"),
                               QStringLiteral("タカハシ")};
const QString kGiven[] = {QStringLiteral("太郎"), QStringLiteral("花子"), QStringLiteral("一郎")};
const QString kGivenKana[] = {QStringLiteral("ﾀﾛｳ"), QStringLiteral("ハナコ"), QStringLiteral("イチロウ")};

void writePatientFile(const QString& path, int changedEvery) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QString text = QStringLiteral("ID,氏名,カナ氏名,生年月日,性別\r\n");
    for (int i = 0; i < kPatients; ++i) {
        const bool changed = changedEvery > 0 && i % changedEvery == 0;
        text += QStringLiteral("%1,%2　%3,%4 %5,%6,%7\r\n")
                    .arg(QStringLiteral("P%1").arg(i, 8, 10, QChar(u'0')), kFamilies[i % 4],
                         changed ? QStringLiteral("次郎") : kGiven[i % 3], kFamilyKana[i % 4], kGivenKana[i % 3],
                         QDate(1930, 1, 1).addDays(i % 30000).toString(QStringLiteral("yyyy/MM/dd")),
                         i % 2 ? QStringLiteral("M") : QStringLiteral("女"));
        if (text.size() > (1 << 20)) {
            file.write(Cp932::encode(text));
            text.clear();
        }
    }
    file.write(Cp932::encode(text));
}

// CPU seconds this process has used: on a machine shared with other work the wall time says less.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void timedRun(const QStringList& args) {
    QString out, err;
    QTextStream o(&out), e(&err);
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    const int status = runAdmin(args, o, e);
    const double seconds = clock.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    o.flush();
    e.flush();
    std::printf("   %s%s", qPrintable(out), qPrintable(err.left(400)));
    if (status != 0) std::printf("   (exit status %d)\n", status);
    std::printf("   %.1f s (CPU %.1f s)\n", seconds, cpu);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc > 1) kPatients = std::atoi(argv[1]);
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("KESOLA.MDB"));
    const QString first = dir.filePath(QStringLiteral("first.csv"));
    const QString again = dir.filePath(QStringLiteral("again.csv"));
    writePatientFile(first, 0);
    writePatientFile(again, 100);
    timedRun({QStringLiteral("init"), db});
    {
        QFile file(first);
        file.open(QIODevice::ReadOnly);
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = cpuSeconds();
        const std::size_t read = readPatientFile(file.readAll(), QDate::currentDate()).patients.size();
        std::printf("reading and checking the file alone (%zu patients): %.1f s (CPU %.1f s)\n", read,
                    clock.elapsed() / 1000.0, cpuSeconds() - cpuBefore);
    }
    std::printf("patients import of %d patients into an empty register (SQLite file in %s)\n", kPatients,
                qPrintable(dir.path()));
    timedRun({QStringLiteral("patients"), QStringLiteral("import"), db, first});
    std::printf("the same file again, one patient in 100 changed\n");
    timedRun({QStringLiteral("patients"), QStringLiteral("import"), db, again});
    std::printf("patients export of the whole register\n");
    timedRun({QStringLiteral("patients"), QStringLiteral("export"), db, dir.filePath(QStringLiteral("out.csv"))});
    return 0;
}
