#include "store/MasterList.h"

#include "store/Numbers.h"
#include "store/Schema.h"
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

bool storeMasterName(Database& db, const QString& table, const QString& nameField, const QString& code,
                     const QString& name, const RowFields& fieldsAfterName) {
    const TableSchema& schema = tableNamed(table);
    HistoryWriter history(db);
    WriteTransaction transaction(db);
    auto record = db.openTable(schema);
    const bool found = record->seek(code);
    const QString before = history.rowUnder(schema, code);
    if (!name.isEmpty()) {
        if (found) {
            record->edit();
        } else {
            record->addNew();
        }
        record->setField(schema.keyColumn, code);
        record->setField(nameField, name);
        for (const auto& [field, value] : fieldsAfterName) record->setField(field, value);
        record->update();
    } else if (found) {
        record->deleteRow();
    }
    record->close();
    if (name.isEmpty() && !found) return false;
    const QString action = name.isEmpty() ? history_actions::kMasterDeleted
                           : found        ? history_actions::kMasterChanged
                                          : history_actions::kMasterAdded;
    history.record(action, schema, code, before);
    transaction.commit();
    return true;
}

}  // namespace kesola
