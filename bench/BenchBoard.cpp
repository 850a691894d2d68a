#include "bench/BenchBoard.h"

#include <QFile>
#include <algorithm>

#include "store/Cp932.h"

namespace kesola::bench {

BenchBoard::BenchBoard(const QString& databasePath) {
    QFile ini(programFolder.filePath(QStringLiteral("KESOLA.INI")));
    if (ini.open(QIODevice::WriteOnly)) ini.write(Cp932::encode(databasePath) + "\r\n");
    ini.close();
    g.messages = &messages;
    g.clock = &clock;
    g.PATH_APP = programFolder.path() + QLatin1Char('/');
    board = std::make_unique<PRO001>(ctx);
    board->Form_Load();
    board->CMB[0]->setCurrentIndex(0);
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace kesola::bench
