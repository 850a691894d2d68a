#include "store/engine/ThreadedDatabase.h"

#include <QCoreApplication>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "store/engine/ColumnLookup.h"
#include "store/engine/ConnectionThread.h"
#include "store/engine/DbError.h"
#include "store/engine/OpenDatabase.h"

namespace kesola {

namespace {

// Rows read from the connection's thread at once: a walk over many rows (the export) costs one wait per batch,
// not one per field.
constexpr int kBatchRows = 256;

using Thread = std::shared_ptr<ConnectionThread>;

Database& connectionOf(ConnectionThread& thread) {
    Database* db = thread.database().get();
    if (!db) throw DbError(QStringLiteral("the connection is closed"));
    return *db;
}

// Destroys what lives on the connection's thread there, after everything sent before it.
template <typename T>
void destroyThere(const Thread& thread, std::unique_ptr<T>& object) {
    if (!object) return;
    thread->post([doomed = std::shared_ptr<T>(std::move(object))](Database*) mutable { doomed.reset(); });
}

// The rows of one SELECT, fetched batch by batch from the connection's thread.
class ThreadedRecordSet : public RecordSet {
  public:
    // `open` runs the statement on the connection's thread.
    ThreadedRecordSet(Thread thread, const std::function<std::unique_ptr<RecordSet>(Database&)>& open)
        : thread_(std::move(thread)) {
        thread_->call([&] {
            inner_ = open(connectionOf(*thread_));
            columns_ = ColumnLookup(inner_->fieldNames());
            empty_ = inner_->isEmpty();
            fetchBatch();
        });
    }
    ~ThreadedRecordSet() override { close(); }

    bool isEmpty() const override { return empty_; }
    bool eof() const override { return at_ >= rows_.size(); }
    QString field(const QString& name) const override {
        if (eof()) return {};
        const int index = columns_.indexOf(name);
        return index < 0 ? QString() : rows_[at_][index];
    }
    void moveNext() override {
        if (eof()) return;
        if (++at_ < rows_.size()) return;
        rows_.clear();
        at_ = 0;
        if (readFailure_) std::rethrow_exception(std::exchange(readFailure_, nullptr));
        if (!innerAtEnd_) thread_->call([&] { fetchBatch(); });
    }
    void close() override {
        rows_.clear();
        at_ = 0;
        innerAtEnd_ = true;
        readFailure_ = nullptr;
        destroyThere(thread_, inner_);
    }
    QStringList fieldNames() const override { return columns_.names(); }

  private:
    // On the connection's thread. A row that fails to read ends the batch; the failure is thrown when the walk
    // reaches it, as the connection's own record set throws it.
    void fetchBatch() {
        for (int n = 0; n < kBatchRows && !inner_->eof(); ++n) {
            QStringList row;
            row.reserve(columns_.names().size());
            for (const QString& name : columns_.names()) row << inner_->field(name);
            rows_.push_back(std::move(row));
            try {
                inner_->moveNext();
            } catch (...) {
                readFailure_ = std::current_exception();
                break;
            }
        }
        innerAtEnd_ = readFailure_ || inner_->eof();
    }

    Thread thread_;
    std::unique_ptr<RecordSet> inner_;  // on the connection's thread only
    ColumnLookup columns_;
    std::vector<QStringList> rows_;
    size_t at_ = 0;
    bool empty_ = true;
    bool innerAtEnd_ = true;
    std::exception_ptr readFailure_;
};

// Keyed access whose every step runs on the connection's thread.
class ThreadedTable : public Table {
  public:
    ThreadedTable(Thread thread, const TableSchema& schema) : thread_(std::move(thread)) {
        thread_->call([&] { inner_ = connectionOf(*thread_).openTable(schema); });
    }
    ~ThreadedTable() override { destroyThere(thread_, inner_); }

  private:
    template <typename Work>
    auto there(Work work) const {
        if constexpr (std::is_void_v<decltype(work())>) {
            thread_->call(work);
        } else {
            decltype(work()) result{};
            thread_->call([&] { result = work(); });
            return result;
        }
    }

  public:
    bool seek(const QString& key) override {
        return there([&] { return inner_->seek(key); });
    }
    bool noMatch() const override {
        return there([&] { return inner_->noMatch(); });
    }
    QString field(const QString& name) const override {
        return there([&] { return inner_->field(name); });
    }
    void edit() override {
        there([&] { inner_->edit(); });
    }
    void addNew() override {
        there([&] { inner_->addNew(); });
    }
    void setField(const QString& name, const QString& value) override {
        there([&] { inner_->setField(name, value); });
    }
    void update() override {
        there([&] { inner_->update(); });
    }
    void deleteRow() override {
        there([&] { inner_->deleteRow(); });
    }
    void close() override {
        there([&] { inner_->close(); });
    }

  private:
    Thread thread_;
    std::unique_ptr<Table> inner_;  // on the connection's thread only
};

class ThreadedDatabase : public Database {
  public:
    explicit ThreadedDatabase(Thread thread) : thread_(std::move(thread)) {
        there([&](Database& db) {
            engineName_ = db.engineName();
            byteOrderCollation_ = db.byteOrderCollation();
            growingKeyType_ = db.growingKeyType();
        });
    }

    std::unique_ptr<RecordSet> select(const QString& jetSql) override {
        return std::make_unique<ThreadedRecordSet>(thread_, [&](Database& db) { return db.select(jetSql); });
    }
    std::unique_ptr<RecordSet> selectLong(const QString& jetSql) override {
        return std::make_unique<ThreadedRecordSet>(thread_, [&](Database& db) { return db.selectLong(jetSql); });
    }
    std::unique_ptr<RecordSet> selectNative(const QString& sql, const QVariantList& params) override {
        return std::make_unique<ThreadedRecordSet>(thread_, [&](Database& db) { return db.selectNative(sql, params); });
    }
    std::unique_ptr<Table> openTable(const TableSchema& table) override {
        return std::make_unique<ThreadedTable>(thread_, table);
    }
    int execute(const QString& sql, const QVariantList& params) override {
        int changed = 0;
        there([&](Database& db) { changed = db.execute(sql, params); });
        return changed;
    }
    bool takeLock() override {
        bool taken = false;
        there([&](Database& db) { taken = db.takeLock(); });
        return taken;
    }
    void beginWriteTransaction() override {
        there([](Database& db) { db.beginWriteTransaction(); });
    }
    void commitTransaction() override {
        there([](Database& db) { db.commitTransaction(); });
    }
    void rollbackTransaction() override {
        there([](Database& db) { db.rollbackTransaction(); });
    }
    QString byteOrderCollation() const override { return byteOrderCollation_; }
    QString growingKeyType() const override { return growingKeyType_; }
    QString encodingProblem() override {
        QString problem;
        there([&](Database& db) { problem = db.encodingProblem(); });
        return problem;
    }
    void refreshStatistics() override {
        there([](Database& db) { db.refreshStatistics(); });
    }
    void setLockWait(int milliseconds) override {
        there([=](Database& db) { db.setLockWait(milliseconds); });
    }
    bool stillTheStoreNamed() const override {
        bool still = false;
        there([&](Database& db) { still = db.stillTheStoreNamed(); });
        return still;
    }
    QString engineName() const override { return engineName_; }

    void runDetached(std::function<void(Database&)> work, QObject* context, std::function<void()> done) override {
        if (!QCoreApplication::instance()) {
            Database::runDetached(std::move(work), context, std::move(done));
            return;
        }
        thread_->post(
            [work = std::move(work), guard = QPointer<QObject>(context), done = std::move(done)](Database* db) mutable {
                if (db) work(*db);
                // Back on the user-interface thread, and only while the one who asked is still there.
                QCoreApplication* app = QCoreApplication::instance();
                if (!app) return;
                QMetaObject::invokeMethod(
                    app,
                    [guard = std::move(guard), done = std::move(done)] {
                        if (guard) done();
                    },
                    Qt::QueuedConnection);
            });
    }
    bool finishDetached(int milliseconds) override { return thread_->settle(milliseconds); }

  private:
    void there(const std::function<void(Database&)>& work) const {
        thread_->call([&] { work(connectionOf(*thread_)); });
    }

    Thread thread_;
    QString engineName_;
    QString byteOrderCollation_;
    QString growingKeyType_;
};

}  // namespace

std::unique_ptr<Database> openOnOwnThread(const QString& location) {
    auto thread = std::make_shared<ConnectionThread>();
    thread->call([&] { thread->database() = openDatabase(location); });
    return std::make_unique<ThreadedDatabase>(std::move(thread));
}

}  // namespace kesola
