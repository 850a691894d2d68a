#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "admin/AdminCommands.h"
#include "admin/Console.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    kesola::prepareConsole();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return kesola::runAdmin(args, out, err);
}
