#include "tests/worklist/RunningWorklist.h"

#include <arpa/inet.h>
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <iconv.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <functional>

namespace kesola::test {

namespace {

sockaddr_in localAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// dcmdump's line of one element: "(0010,0010) PN [value]   # length, vm Name" or "(no value available)".
QMap<QString, QString> dumpedValues(const QString& dump) {
    static const QRegularExpression element(QStringLiteral(R"(^\s*\(([0-9a-f]{4},[0-9a-f]{4})\) (\w\w) (.*?)\s+#)"));
    QMap<QString, QString> values;
    for (const QString& line : dump.split(u'\n')) {
        const auto match = element.match(line);
        if (!match.hasMatch() || match.captured(1).startsWith(QStringLiteral("0002"))) continue;
        if (match.captured(2) == QStringLiteral("SQ") || match.captured(2) == QStringLiteral("na")) continue;
        QString value = match.captured(3);
        value = value.startsWith(u'[') && value.endsWith(u']') ? value.mid(1, value.size() - 2) : QString();
        values[match.captured(1)] = value;
    }
    return values;
}

// The dump in UTF-8, read by iconv: a reader this project did not write.
QString iconvToUtf8(const QByteArray& bytes, const char* from) {
    iconv_t converter = iconv_open("UTF-8", from);
    QByteArray in = bytes;
    QByteArray out(in.size() * 4 + 16, '\0');
    char* inPointer = in.data();
    char* outPointer = out.data();
    size_t inLeft = static_cast<size_t>(in.size());
    size_t outLeft = static_cast<size_t>(out.size());
    const size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1)) return QStringLiteral("(not %1) ").arg(from) + QString::fromLatin1(bytes);
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return QString::fromUtf8(out);
}

// dcmdump prints values as their bytes are. dcmtk's own conversion (+U8) cannot read ISO 2022 IR 87 with Debian's
// iconv names, so the dump of such an answer is read as ISO-2022-JP. ISO 2022 IR 13's katakana (bytes A1-DF in G1)
// have no 8-bit form in iconv's ISO 2022 tables: each run is given its 7-bit designation (ESC ( I), and JIS X
// 0201's roman half after it, as the value was in before, and read as ISO-2022-JP-3.
QString dumpText(const QByteArray& dump) {
    if (dump.contains("ISO 2022 IR 13")) {
        QByteArray sevenBit;
        for (qsizetype i = 0; i < dump.size(); ++i) {
            const auto b = static_cast<unsigned char>(dump[i]);
            if (b < 0xA1 || b > 0xDF) {
                sevenBit += dump[i];
                continue;
            }
            sevenBit += "\x1b(I";
            for (; i < dump.size() && static_cast<unsigned char>(dump[i]) >= 0xA1 &&
                   static_cast<unsigned char>(dump[i]) <= 0xDF;
                 ++i) {
                sevenBit += static_cast<char>(static_cast<unsigned char>(dump[i]) - 0x80);
            }
            sevenBit += "\x1b(J";
            --i;
        }
        return iconvToUtf8(sevenBit, "ISO-2022-JP-3");
    }
    if (dump.contains("ISO 2022 IR 87")) return iconvToUtf8(dump, "ISO-2022-JP");
    return QString::fromUtf8(dump);
}

}  // namespace

ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess process;
    process.start(program, args);
    ToolRun run;
    if (!process.waitForStarted(timeoutMs) || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("%1 did not finish").arg(program);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = localAddress(0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

namespace {

// Asks every 20 ms until done() says yes or the time is up.
bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QThread::msleep(20);
    }
    return true;
}

}  // namespace

bool waitForListener(int port, int timeoutMs) {
    return waitUntil(
        [port] {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address = localAddress(port);
            const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            close(fd);
            return connected;
        },
        timeoutMs);
}

RunningWorklist::RunningWorklist(const QString& worklistSection, const QString& stationsSection) {
    port_ = freePort();
    const QString ini = dir_.filePath(QStringLiteral("worklist.ini"));
    QFile file(ini);
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("[worklist]\nport = %1\n%2\n[stations]\n%3\n")
                   .arg(port_)
                   .arg(worklistSection, stationsSection)
                   .toUtf8());
    file.close();
    process_.setStandardErrorFile(dir_.filePath(QStringLiteral("service.log")));
    // A test binary stopped by its timeout takes its service with it.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(QStringLiteral(KESOLA_WORKLIST_PROGRAM), {QStringLiteral("--config"), ini});
    // Listening, and done with the start's own read of the store: a test may take the store away after this.
    listening_ = process_.waitForStarted() && waitForListener(port_, 20000) && waitForListeningLine();
}

bool RunningWorklist::waitForListeningLine() {
    const QString line = QStringLiteral("をポート %1 で待ち受けます").arg(port_);
    return waitUntil([&] { return log().contains(line) || !running(); }, 20000) && log().contains(line);
}

RunningWorklist::~RunningWorklist() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished();
    }
}

QString RunningWorklist::log() {
    QFile file(dir_.filePath(QStringLiteral("service.log")));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

QStringList FindRun::accessionNumbers() const {
    QStringList numbers;
    for (const FoundItem& item : items) numbers << item.values.value(QStringLiteral("0008,0050"));
    return numbers;
}

FindRun findscu(int port, const QString& callingAe, DcmDataset& query, const QString& calledAe) {
    QTemporaryDir dir;
    const QString queryFile = dir.filePath(QStringLiteral("query.wl"));
    DcmFileFormat file(&query);
    file.saveFile(queryFile.toLocal8Bit().constData(), EXS_LittleEndianExplicit);
    FindRun run;
    run.tool = runTool(QStringLiteral("findscu"),
                       {QStringLiteral("-v"), QStringLiteral("-W"), QStringLiteral("-X"), QStringLiteral("-od"),
                        dir.path(), QStringLiteral("-aet"), callingAe, QStringLiteral("-aec"), calledAe,
                        QStringLiteral("127.0.0.1"), QString::number(port), queryFile});
    const QStringList answers = QDir(dir.path()).entryList({QStringLiteral("rsp*.dcm")}, QDir::Files, QDir::Name);
    for (const QString& answer : answers) {
        const QString path = dir.filePath(answer);
        QFile raw(path);
        raw.open(QIODevice::ReadOnly);
        QProcess dump;
        dump.start(QStringLiteral("dcmdump"), {path});
        dump.waitForFinished();
        run.items.push_back({dumpedValues(dumpText(dump.readAllStandardOutput())), raw.readAll()});
    }
    return run;
}

DcmDataset worklistQuery(const QueryKeys& keys) {
    DcmDataset q;
    const auto put = [](DcmItem& item, const DcmTagKey& tag, const QString& value) {
        item.putAndInsertString(tag, value.toLatin1().constData());
    };
    if (!keys.charset.isEmpty()) put(q, DCM_SpecificCharacterSet, keys.charset);
    put(q, DCM_AccessionNumber, keys.accession);
    q.putAndInsertOFStringArray(DCM_PatientName, OFString(keys.patientName.constData(), keys.patientName.size()));
    put(q, DCM_PatientID, keys.patientId);
    for (const DcmTagKey& tag : {DCM_PatientSex, DCM_PatientAge, DCM_PatientBirthDate, DCM_StudyInstanceUID,
                                 DCM_RequestingService, DCM_RequestedProcedureDescription, DCM_RequestedProcedureID,
                                 DCM_ReferringPhysicianName, DCM_RequestedProcedureComments}) {
        q.insertEmptyElement(tag);
    }
    DcmItem* step = nullptr;
    q.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step, -2);
    put(*step, DCM_Modality, QStringLiteral("MR"));
    put(*step, DCM_ScheduledStationAETitle, keys.station);
    put(*step, DCM_ScheduledProcedureStepStartDate, keys.date);
    put(*step, DCM_ScheduledProcedureStepStartTime, keys.time);
    step->putAndInsertOFStringArray(DCM_ScheduledPerformingPhysicianName,
                                    OFString(keys.physician.constData(), keys.physician.size()));
    for (const DcmTagKey& tag : {DCM_ScheduledProcedureStepDescription, DCM_ScheduledProcedureStepID}) {
        step->insertEmptyElement(tag);
    }
    return q;
}

}  // namespace kesola::test
