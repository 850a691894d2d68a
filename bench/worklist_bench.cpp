// The scanners' worklist on 2,000,000 reservations: one day's C-FIND as a scanner sees it (association, query,
// release) and the store's read alone; the same with 200 silent connections held open beside it; 20 scanners asking
// at once; a soak of 2,000 queries of mixed sizes with the service's resident size after every 100; and an MPPS
// completion until a board on the same database paints the booking grey. The service is the real kesola-worklist,
// started on a copy of the benchmark file (or on the database given), whose day's bookings are given patient IDs.
//
//   worklist_bench [reservations=2000000] [runs=200] [database]

#include <arpa/inet.h>
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/BenchBoard.h"
#include "bench/BenchDatabase.h"
#include "board/DayPainting.h"
#include "store/BookingStore.h"
#include "store/ReservationKey.h"
#include "store/WorklistStore.h"
#include "store/engine/OpenDatabase.h"

using namespace kesola;
using namespace kesola::bench;

namespace {

const QDate kDay(kBenchYear, kBenchMonth, kBenchDay);

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// A scanner: dcmtk's SCU on one association for the worklist and MPPS.
class Scanner : public DcmSCU {
  public:
    Scanner(int port, const char* aeTitle) : port_(port) {
        setAETitle(aeTitle);
        setPeerAETitle("KESOLA_MWL");
        setPeerHostName("127.0.0.1");
        setPeerPort(static_cast<Uint16>(port));
        OFList<OFString> syntaxes;
        syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
        addPresentationContext(UID_FINDModalityWorklistInformationModel, syntaxes);
        addPresentationContext(UID_ModalityPerformedProcedureStepSOPClass, syntaxes);
    }

    // Debian's dcmtk leaves Nagle's algorithm on: a request's command and dataset, written apart, would wait 40 ms
    // for the service's delayed acknowledgement. Scanners' own DICOM stacks send at once; so does this one.
    bool open() {
        if (initNetwork().bad() || negotiateAssociation().bad()) return false;
        sendWithoutDelay();
        return true;
    }

    // The worklist of the days (a DA value or range) for the station; -1 when the query failed.
    int worklist(const char* station, const QString& days = kDay.toString(QStringLiteral("yyyyMMdd"))) {
        DcmDataset query;
        query.putAndInsertString(DCM_SpecificCharacterSet, "\\ISO 2022 IR 87");
        for (const DcmTagKey& tag : {DCM_AccessionNumber, DCM_PatientName, DCM_PatientID, DCM_PatientSex,
                                     DCM_PatientAge, DCM_StudyInstanceUID, DCM_RequestedProcedureDescription}) {
            query.insertEmptyElement(tag);
        }
        DcmItem* step = nullptr;
        query.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step, -2);
        step->putAndInsertString(DCM_Modality, "MR");
        step->putAndInsertString(DCM_ScheduledStationAETitle, station);
        step->putAndInsertString(DCM_ScheduledProcedureStepStartDate, days.toLatin1().constData());
        step->insertEmptyElement(DCM_ScheduledProcedureStepStartTime);
        OFList<QRResponse*> responses;
        const T_ASC_PresentationContextID context =
            findPresentationContextID(UID_FINDModalityWorklistInformationModel, "");
        const bool sent = sendFINDRequest(context, &query, &responses).good();
        int items = 0;
        bool success = false;
        for (QRResponse* r : responses) {
            if (r->m_status == STATUS_Pending) ++items;
            if (r->m_status == STATUS_Success) success = true;
            delete r;
        }
        return sent && success ? items : -1;
    }

    // N-CREATE IN PROGRESS then N-SET COMPLETED for the booking; the N-SET's status (or -1).
    int complete(const QString& key) {
        const QByteArray uid = (QStringLiteral("2.25.") + QString::number(QUuid::createUuid().data1)).toLatin1() + "." +
                               QByteArray::number(QDateTime::currentMSecsSinceEpoch());
        const T_ASC_PresentationContextID context =
            findPresentationContextID(UID_ModalityPerformedProcedureStepSOPClass, "");
        DcmDataset created;
        created.putAndInsertString(DCM_PerformedProcedureStepStatus, "IN PROGRESS");
        DcmItem* step = nullptr;
        created.findOrCreateSequenceItem(DCM_ScheduledStepAttributesSequence, step, -2);
        step->putAndInsertString(DCM_AccessionNumber, key.toLatin1().constData());
        T_DIMSE_Message create{};
        create.CommandField = DIMSE_N_CREATE_RQ;
        create.msg.NCreateRQ.MessageID = ++messageId_;
        OFStandard::strlcpy(create.msg.NCreateRQ.AffectedSOPClassUID, UID_ModalityPerformedProcedureStepSOPClass,
                            sizeof create.msg.NCreateRQ.AffectedSOPClassUID);
        OFStandard::strlcpy(create.msg.NCreateRQ.AffectedSOPInstanceUID, uid.constData(),
                            sizeof create.msg.NCreateRQ.AffectedSOPInstanceUID);
        create.msg.NCreateRQ.opts = O_NCREATE_AFFECTEDSOPINSTANCEUID;
        create.msg.NCreateRQ.DataSetType = DIMSE_DATASET_PRESENT;
        if (status(context, create, created) != STATUS_Success) return -1;
        DcmDataset finished;
        finished.putAndInsertString(DCM_PerformedProcedureStepStatus, "COMPLETED");
        T_DIMSE_Message set{};
        set.CommandField = DIMSE_N_SET_RQ;
        set.msg.NSetRQ.MessageID = ++messageId_;
        OFStandard::strlcpy(set.msg.NSetRQ.RequestedSOPClassUID, UID_ModalityPerformedProcedureStepSOPClass,
                            sizeof set.msg.NSetRQ.RequestedSOPClassUID);
        OFStandard::strlcpy(set.msg.NSetRQ.RequestedSOPInstanceUID, uid.constData(),
                            sizeof set.msg.NSetRQ.RequestedSOPInstanceUID);
        set.msg.NSetRQ.DataSetType = DIMSE_DATASET_PRESENT;
        return status(context, set, finished);
    }

  private:
    // The association's socket: the one of this process connected to the service's port that has no delay set yet.
    void sendWithoutDelay() {
        for (int fd = 0; fd < 1024; ++fd) {
            sockaddr_in peer{};
            socklen_t length = sizeof peer;
            if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 || ntohs(peer.sin_port) != port_) {
                continue;
            }
            const int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
    }

    int port_ = 0;
    Uint16 messageId_ = 1000;

    int status(T_ASC_PresentationContextID context, T_DIMSE_Message& request, DcmDataset& dataset) {
        if (sendDIMSEMessage(context, &request, &dataset).bad()) return -1;
        T_DIMSE_Message response{};
        T_ASC_PresentationContextID answered = 0;
        DcmDataset* detail = nullptr;
        if (receiveDIMSECommand(&answered, &response, &detail).bad()) return -1;
        delete detail;
        return response.CommandField == DIMSE_N_CREATE_RSP ? response.msg.NCreateRSP.DimseStatus
                                                           : response.msg.NSetRSP.DimseStatus;
    }
};

// Milliseconds of one whole query as a scanner makes it; -1 when it failed.
double oneQuery(int port, const char* station, int* items,
                const QString& days = kDay.toString(QStringLiteral("yyyyMMdd"))) {
    QElapsedTimer clock;
    clock.start();
    Scanner scanner(port, station);
    if (!scanner.open()) return -1;
    *items = scanner.worklist(station, days);
    scanner.releaseAssociation();
    return *items < 0 ? -1 : clock.nsecsElapsed() / 1e6;
}

struct TimedQueries {
    std::vector<double> times;
    int failures = 0;
};

// One scanner's day query `runs` times, one after the other.
TimedQueries timeQueries(int port, int runs, int* items) {
    TimedQueries timed;
    for (int i = 0; i < runs; ++i) {
        const double ms = oneQuery(port, "MRI1", items);
        if (ms < 0) {
            ++timed.failures;
        } else {
            timed.times.push_back(ms);
        }
    }
    return timed;
}

// Connections to the service that never say anything, as many as asked, held open until destroyed: each one the
// service closes (after its few seconds) is opened again at once.
class SilentConnections {
  public:
    SilentConnections(int port, int count) : port_(port), fds_(count, -1) {
        for (int& fd : fds_) fd = open();
        thread_ = std::thread([this] {
            while (!stop_) {
                std::vector<pollfd> polled;
                for (int fd : fds_) polled.push_back({fd, POLLIN | POLLRDHUP, 0});
                poll(polled.data(), polled.size(), 50);
                for (std::size_t i = 0; i < fds_.size(); ++i) {
                    if (!polled[i].revents) continue;
                    close(fds_[i]);
                    fds_[i] = open();
                    ++reopened_;
                }
            }
        });
    }
    ~SilentConnections() {
        stop_ = true;
        thread_.join();
        for (int fd : fds_) close(fd);
    }
    int reopened() const { return reopened_; }

  private:
    int open() const {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        return fd;
    }

    int port_;
    std::vector<int> fds_;
    std::atomic<bool> stop_{false};
    std::atomic<int> reopened_{0};
    std::thread thread_;
};

// The resident size of a process, in MB.
double residentMegabytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

// The benchmark file's bookings carry no patient ID, and the service offers no item without one: the bookings of
// both rooms from the day through the year the soak asks for are given one, as reception would have, so that the
// queries answer whole items.
int givePatientIds(Database& db, QDate from, QDate to) {
    int given = 0;
    for (const ScheduledBooking& scheduled :
         readScheduledBookings(db, {QStringLiteral("1"), QStringLiteral("2")}, from, to)) {
        const std::optional<Booking> shown = findBooking(db, scheduled.code);
        if (!shown) continue;
        Booking withId = *shown;
        withId.KANJYAID = u'B' + scheduled.code;
        if (storeBooking(db, scheduled.code, withId, shown) == StoreOutcome::Stored) ++given;
    }
    return given;
}

// Up to `count` one-cell bookings with patient IDs in room 1 today, in cells nothing else holds: the service takes
// completions only for today's bookings. Their keys; cancelBookings takes them out again.
std::vector<QString> bookToday(Database& db, std::size_t count) {
    const QDate today = QDate::currentDate();
    std::vector<QString> keys;
    for (int cell = 0; cell < kCellCount && keys.size() < count; cell += 2) {
        const QString key = reservationKey(QStringLiteral("1"), today.toString(QStringLiteral("yyyy")),
                                           today.toString(QStringLiteral("MM")), today.toString(QStringLiteral("dd")),
                                           QStringLiteral("%1").arg(cellHour(cell), 2, 10, QLatin1Char('0')),
                                           QStringLiteral("%1").arg(cellMinute(cell), 2, 10, QLatin1Char('0')));
        if (findBooking(db, key)) continue;
        const Booking booking{QStringLiteral("10"),
                              QStringLiteral("01"),
                              QStringLiteral("ベンチ タロウ"),
                              QStringLiteral("01"),
                              QStringLiteral("1"),
                              QStringLiteral("40"),
                              QStringLiteral("0"),
                              QString(),
                              u'B' + key};
        if (storeBooking(db, key, booking, std::nullopt) == StoreOutcome::Stored) keys.push_back(key);
    }
    return keys;
}

void cancelBookings(Database& db, const std::vector<QString>& keys) {
    for (const QString& key : keys) deleteBooking(db, key, findBooking(db, key));
}

void printPercentiles(const char* what, const std::vector<double>& times) {
    std::printf("%s: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu runs)\n", what, percentile(times, 0.5),
                percentile(times, 0.99), percentile(times, 1.0), times.size());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    OFLog::configure(OFLogger::FATAL_LOG_LEVEL);
    const int reservations = argc > 1 ? std::atoi(argv[1]) : 2000000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    QTemporaryDir scratch;
    QString database = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (database.isEmpty()) {
        // The MPPS part sets bookings done: it works on a copy, so the shared benchmark file stays as generated.
        database = scratch.filePath(QStringLiteral("KESOLA.MDB"));
        QFile::copy(benchDatabase(reservations), database);
    }
    const int withIds = givePatientIds(*openDatabase(database), kDay, kDay.addDays(365));
    const int port = freePort();
    QFile ini(scratch.filePath(QStringLiteral("worklist.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write(QStringLiteral("[worklist]\ndatabase = %1\nport = %2\n[stations]\nMRI1 = 1\nMRI2 = 2\n")
                  .arg(database)
                  .arg(port)
                  .toUtf8());
    ini.close();
    QProcess service;
    service.setStandardErrorFile(scratch.filePath(QStringLiteral("service.log")));
    service.start(QStringLiteral(KESOLA_WORKLIST), {QStringLiteral("--config"), ini.fileName()});
    int items = -1;
    for (int i = 0; i < 200 && oneQuery(port, "MRI1", &items) < 0; ++i) QThread::msleep(50);
    std::printf("Worklist on %d reservations (%s), %s; %d bookings of the year from that day given patient IDs\n",
                reservations, qPrintable(database), qPrintable(openDatabase(database)->engineName()), withIds);

    // The store's read of the day alone, as the service makes it for one C-FIND.
    {
        auto db = openDatabase(database);
        std::vector<double> times;
        std::size_t found = 0;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer clock;
            clock.start();
            found = readScheduledBookings(*db, {QStringLiteral("1"), QStringLiteral("2")}, kDay, kDay).size();
            times.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::printf("store read of the day (rooms 1 and 2, %zu bookings not done)\n  ", found);
        printPercentiles("", times);
    }
    // One scanner's whole C-FIND: association, query, every answer, release.
    {
        const TimedQueries timed = timeQueries(port, runs, &items);
        std::printf("one scanner's C-FIND of the day (%d items), %d failed\n  ", items, timed.failures);
        printPercentiles("", timed.times);
    }
    // The same with 200 connections held open beside it that never say anything.
    {
        SilentConnections silent(port, 200);
        QThread::msleep(200);
        const TimedQueries timed = timeQueries(port, runs, &items);
        std::printf(
            "the same with 200 silent connections held open (%d opened again after the service closed "
            "them), %d failed\n  ",
            silent.reopened(), timed.failures);
        printPercentiles("", timed.times);
    }
    // 20 scanners at once, each asking again and again.
    {
        constexpr int kScanners = 20;
        const int each = std::max(1, runs / 10);
        std::vector<std::vector<double>> perScanner(kScanners);
        std::atomic<int> failures{0};
        QElapsedTimer clock;
        clock.start();
        std::vector<std::thread> scanners;
        for (int s = 0; s < kScanners; ++s) {
            scanners.emplace_back([&, s] {
                for (int i = 0; i < each; ++i) {
                    int n = 0;
                    const double ms = oneQuery(port, s % 2 ? "MRI2" : "MRI1", &n);
                    if (ms < 0) {
                        ++failures;
                    } else {
                        perScanner[s].push_back(ms);
                    }
                }
            });
        }
        for (auto& t : scanners) t.join();
        std::vector<double> all;
        for (const auto& v : perScanner) all.insert(all.end(), v.begin(), v.end());
        std::printf("%d scanners at once, %d queries each: %d failed, all done in %.0f ms\n  ", kScanners, each,
                    failures.load(), clock.elapsed() * 1.0);
        printPercentiles("", all);
    }
    // Soak: 2,000 queries one after the other, of a day, a month or a year (8 in 10, 3 in 20, 1 in 20), and the
    // service's resident size after every 100.
    {
        const QString day = kDay.toString(QStringLiteral("yyyyMMdd"));
        const QString month = day + u'-' + kDay.addDays(30).toString(QStringLiteral("yyyyMMdd"));
        const QString year = day + u'-' + kDay.addDays(365).toString(QStringLiteral("yyyyMMdd"));
        std::printf(
            "soak: 2000 queries (day, month, year), resident size of the service in MB at the start and after "
            "every 100:\n  %.1f\n ",
            residentMegabytes(service.processId()));
        int failures = 0;
        long long found = 0;
        QElapsedTimer clock;
        clock.start();
        for (int i = 1; i <= 2000; ++i) {
            const int kind = i % 20;
            const QString& days = kind == 0 ? year : kind < 4 ? month : day;
            int n = 0;
            if (oneQuery(port, i % 2 ? "MRI1" : "MRI2", &n, days) < 0) {
                ++failures;
            } else {
                found += n;
            }
            if (i % 100 == 0) std::printf(" %.1f%s", residentMegabytes(service.processId()), i % 1000 ? "" : "\n  ");
            std::fflush(stdout);
        }
        std::printf("%lld items in %.0f s, %d failed\n", found, clock.elapsed() / 1000.0, failures);
    }
    // MPPS completion until a board showing that room and day paints the booking grey, on ten bookings of today (the
    // service takes completions for today's only). The board ticks every 500 ms; each completion is sent at a random
    // moment of a tick, and the ticks between the N-SET's answer and the grey cell are counted (1: the first tick
    // after the answer painted it). The bookings are cancelled afterwards.
    {
        auto db = openDatabase(database);
        const std::vector<QString> keys = bookToday(*db, 10);
        BenchBoard b(database, nullptr, QDate::currentDate());
        int ticks = 0;
        QObject::connect(&b.board->Timer1, &QTimer::timeout, [&ticks] { ++ticks; });
        b.board->Timer1.start();
        std::vector<double> times;
        int failures = 0;
        int mostTicks = 0;
        for (const QString& key : keys) {
            const int cell = startCellOfKey(key).value_or(-1);
            if (cell < 0 || cell >= kCellCount) continue;
            QElapsedTimer phase;
            phase.start();
            const int wait = QRandomGenerator::global()->bounded(500);
            while (phase.elapsed() < wait) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            Scanner scanner(port, "MRI1");
            const bool completed = scanner.open() && scanner.complete(key) == STATUS_Success;
            scanner.releaseAssociation();
            if (!completed) {
                ++failures;
                continue;
            }
            QElapsedTimer clock;
            clock.start();
            const int ticksBefore = ticks;
            while (b.board->cell(cell).background != kDoneBackground && clock.elapsed() < 5000) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
            times.push_back(clock.nsecsElapsed() / 1e6);
            mostTicks = std::max(mostTicks, ticks - ticksBefore);
        }
        cancelBookings(*db, keys);
        std::printf(
            "MPPS COMPLETED to painted grey on a running board (tick 500 ms), %zu bookings: %d failed, at most %d "
            "tick(s)\n  ",
            keys.size(), failures, mostTicks);
        printPercentiles("", times);
    }
    service.terminate();
    service.waitForFinished();
    return 0;
}
