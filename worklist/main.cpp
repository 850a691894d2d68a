#include <dcmtk/config/osconfig.h>
#include <dcmtk/oflog/oflog.h>

#include <QCoreApplication>
#include <csignal>

#include "worklist/ServiceLog.h"
#include "worklist/WorklistService.h"
#include "worklist/WorklistSettings.h"

namespace {

// The file IT writes on Debian; the systemd unit names it too.
const QString kDefaultConfig = QStringLiteral("/etc/kesola/worklist.ini");
// A settings file that cannot be used: systemd does not start the service again until IT has mended it.
constexpr int kExitBadSettings = 2;
constexpr int kExitNoPort = 1;

const char kUsage[] =
    "使い方: kesola-worklist [--config FILE]\n"
    "DICOM モダリティワークリストと MPPS のサーバーです。FILE を省くと /etc/kesola/worklist.ini を読みます。\n";

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QString config = kDefaultConfig;
    if (args.size() == 1 && (args[0] == QStringLiteral("--help") || args[0] == QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() == 2 && args[0] == QStringLiteral("--config")) {
        config = args[1];
    } else if (!args.isEmpty()) {
        std::fputs(kUsage, stderr);
        return kExitBadSettings;
    }
    const kesola::worklist::SettingsRead read = kesola::worklist::readWorklistSettings(config);
    if (!read.settings) {
        kesola::worklist::logLine(read.error);
        return kExitBadSettings;
    }
    // A scanner that goes away mid-answer must not end the service with SIGPIPE; dcmtk's own messages would be
    // several lines each, and the service writes one line of its own for every failure.
    std::signal(SIGPIPE, SIG_IGN);
    OFLog::configure(OFLogger::FATAL_LOG_LEVEL);
    const QString failure = kesola::worklist::runWorklistService(*read.settings);
    kesola::worklist::logLine(
        QStringLiteral("ポート %1 で待ち受けられません: %2").arg(read.settings->port).arg(failure));
    return kExitNoPort;
}
