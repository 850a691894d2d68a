#include "store/engine/KeyedTable.h"

#include <QHash>
#include <QStringList>

#include "store/engine/DbError.h"
#include "store/engine/QtSqlDatabase.h"

namespace kesola {

namespace {

class QtTable : public Table {
  public:
    QtTable(QtSqlDatabase& db, const TableSchema& schema) : db_(db), schema_(schema) {}
    ~QtTable() override = default;

    bool seek(const QString& key) override {
        mode_ = Mode::None;
        pending_.clear();
        row_.clear();
        // The columns are named: a server keeps the statement prepared, and a column added to the table later
        // (kesola-admin upgrade while workstations run) would change the result of "SELECT *" under it.
        auto rs = db_.selectNative(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                       .arg(schema_.columns.join(u','), schema_.name, schema_.keyColumn),
                                   {key});
        found_ = !rs->isEmpty();
        if (found_) {
            for (const QString& column : schema_.columns) row_.insert(column.toUpper(), rs->field(column));
            foundKey_ = rs->field(schema_.keyColumn);
        }
        rs->close();
        return found_;
    }
    bool noMatch() const override { return !found_; }
    QString field(const QString& name) const override {
        const QString upper = name.toUpper();
        if (mode_ != Mode::None && pending_.contains(upper)) return pending_.value(upper).toString();
        return mode_ == Mode::Add ? QString() : row_.value(upper);
    }
    void edit() override {
        if (!found_) throw DbError(QStringLiteral("no current record in %1").arg(schema_.name));
        mode_ = Mode::Edit;
        pending_.clear();
    }
    void addNew() override {
        mode_ = Mode::Add;
        pending_.clear();
    }
    void setField(const QString& name, const QString& value) override {
        if (mode_ == Mode::None) throw DbError(QStringLiteral("update without edit or add in %1").arg(schema_.name));
        pending_.insert(columnName(name).toUpper(), value);
    }
    void update() override {
        if (mode_ == Mode::Add) {
            insertRow();
        } else if (mode_ == Mode::Edit) {
            updateRow();
        } else {
            throw DbError(QStringLiteral("update without edit or add in %1").arg(schema_.name));
        }
        mode_ = Mode::None;
        pending_.clear();
    }
    void deleteRow() override {
        if (!found_) throw DbError(QStringLiteral("no current record in %1").arg(schema_.name));
        db_.execute(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(schema_.name, schema_.keyColumn), {foundKey_});
        found_ = false;
        row_.clear();
    }
    void close() override {
        mode_ = Mode::None;
        pending_.clear();
    }

  private:
    enum class Mode { None, Edit, Add };

    // Field names are the schema's own, never user text; anything else is refused before it reaches SQL.
    QString columnName(const QString& name) const {
        for (const QString& column : schema_.columns) {
            if (column.compare(name, Qt::CaseInsensitive) == 0) return column;
        }
        throw DbError(QStringLiteral("no field %1 in %2").arg(name, schema_.name));
    }

    void insertRow() {
        QStringList columns;
        QStringList marks;
        QVariantList values;
        for (const QString& column : schema_.columns) {
            const QString upper = column.toUpper();
            if (!pending_.contains(upper)) continue;
            columns << column;
            marks << QStringLiteral("?");
            values << pending_.value(upper);
        }
        db_.execute(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(schema_.name, columns.join(u','), marks.join(u',')),
            values);
        rememberWritten();
    }

    void updateRow() {
        if (pending_.isEmpty()) return;
        QStringList sets;
        QVariantList values;
        for (const QString& column : schema_.columns) {
            const QString upper = column.toUpper();
            if (!pending_.contains(upper)) continue;
            sets << column + QStringLiteral(" = ?");
            values << pending_.value(upper);
        }
        values << foundKey_;
        db_.execute(
            QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(schema_.name, sets.join(u','), schema_.keyColumn),
            values);
        rememberWritten();
    }

    void rememberWritten() {
        if (mode_ == Mode::Add) row_.clear();
        for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) row_.insert(it.key(), it.value().toString());
        found_ = true;
        foundKey_ = row_.value(schema_.keyColumn.toUpper());
    }

    QtSqlDatabase& db_;
    const TableSchema& schema_;
    bool found_ = false;
    QString foundKey_;
    Mode mode_ = Mode::None;
    QHash<QString, QString> row_;
    QHash<QString, QVariant> pending_;
};

}  // namespace

std::unique_ptr<Table> makeKeyedTable(QtSqlDatabase& db, const TableSchema& schema) {
    return std::make_unique<QtTable>(db, schema);
}

}  // namespace kesola
