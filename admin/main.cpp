#include <QCoreApplication>

#include "admin/AdminCommands.h"
#include "admin/Console.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    kesola::ConsoleStreams console;
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return kesola::runAdmin(args, console.out(), console.err());
}
