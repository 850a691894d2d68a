#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class DcmDataset;

namespace kesola::test {

// One run of a command-line tool.
struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};
ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs = 60000);

// The real kesola-worklist, started as a process of its own on a free port with the settings given (everything of
// [worklist] but the port, and [stations]), and stopped when this is destroyed.
class RunningWorklist {
  public:
    RunningWorklist(const QString& worklistSection, const QString& stationsSection);
    ~RunningWorklist();
    RunningWorklist(const RunningWorklist&) = delete;
    RunningWorklist& operator=(const RunningWorklist&) = delete;

    bool listening() const { return listening_; }
    int port() const { return port_; }
    bool running() const { return process_.state() == QProcess::Running; }
    // What the service has written to its standard error (its journal) so far.
    QString log();

  private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    bool listening_ = false;
    bool waitForListeningLine();
};

// A TCP port no one listens on now.
int freePort();
// True once something accepts connections on the local port, within the time given.
bool waitForListener(int port, int timeoutMs);

// One answer of findscu, as dcmdump shows it: each element's tag ("0010,0010") and value ("" for none); elements
// of sequence items appear among the others. `bytes` holds the answer file as it arrived.
struct FoundItem {
    QMap<QString, QString> values;
    QByteArray bytes;
};

struct FindRun {
    ToolRun tool;
    std::vector<FoundItem> items;  // in the order they arrived
    QStringList accessionNumbers() const;
};

// Asks the worklist with findscu -W as the scanner `callingAe`, with the query saved to a file first.
FindRun findscu(int port, const QString& callingAe, DcmDataset& query, const QString& calledAe = "KESOLA_MWL");

// A worklist query as scanners send it: the usual return keys, and the matching keys given.
struct QueryKeys {
    QString date = {};
    QString station = {};
    QByteArray patientName = {};
    QString patientId = {};
    QString accession = {};
    QString charset = QStringLiteral("\\ISO 2022 IR 87");
    QString time = {};
    QByteArray physician = {};
};
DcmDataset worklistQuery(const QueryKeys& keys);

}  // namespace kesola::test
