#pragma once

// What a worker process prints, one line per event, and its reading by the test that started it.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace kesola::test {

// In the worker: one line, seen by the test at once.
inline void say(const QString& line) {
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

inline QStringList linesOf(const QByteArray& output) {
    return QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts);
}

// Reads the worker's output until a line equal to `wanted` arrives; everything read is appended to output.
inline bool waitForLine(QProcess& worker, const QString& wanted, QByteArray& output) {
    while (!linesOf(output).contains(wanted)) {
        if (!worker.waitForReadyRead(30000)) return false;
        output += worker.readAllStandardOutput();
    }
    return true;
}

}  // namespace kesola::test
