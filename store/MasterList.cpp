#include "store/MasterList.h"

#include "store/Numbers.h"
#include "store/engine/Database.h"

namespace kesola {

std::vector<MasterEntry> readMasterList(Database& db, const QString& table, const QString& nameField) {
    std::vector<MasterEntry> entries;
    auto rs = db.select(QStringLiteral("SELECT * FROM ") + table +
                        QStringLiteral(" WHERE CODE BETWEEN '00' AND '99' ORDER BY CODE ASC;"));
    for (; !rs->eof(); rs->moveNext()) {
        const QString name = rs->field(nameField);
        if (!trimBlanks(name).isEmpty()) entries.push_back({rs->field(QStringLiteral("CODE")), name});
    }
    rs->close();
    return entries;
}

}  // namespace kesola
