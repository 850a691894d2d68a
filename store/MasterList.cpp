#include "store/MasterList.h"

#include "store/Numbers.h"
#include "store/engine/Database.h"

namespace kesola {

void forEachMasterRow(Database& db, const QString& table, const std::function<void(const RecordSet&)>& eachRow) {
    auto rs = db.select(QStringLiteral("SELECT * FROM ") + table +
                        QStringLiteral(" WHERE CODE BETWEEN '00' AND '99' ORDER BY CODE ASC;"));
    for (; !rs->eof(); rs->moveNext()) eachRow(*rs);
    rs->close();
}

std::vector<MasterEntry> readMasterList(Database& db, const QString& table, const QString& nameField) {
    std::vector<MasterEntry> entries;
    forEachMasterRow(db, table, [&](const RecordSet& row) {
        const QString name = row.field(nameField);
        if (!trimBlanks(name).isEmpty()) entries.push_back({row.field(QStringLiteral("CODE")), name});
    });
    return entries;
}

}  // namespace kesola
