#pragma once

#include <QString>
#include <stdexcept>

namespace kesola {

// The one exception type of the database layer. It carries the engine's own message, which the windows
// show after their "データベースの処理に失敗しました。" line.
class DbError : public std::runtime_error {
  public:
    explicit DbError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

    // True when the failure is another connection's lock on the database, which goes away by itself.
    bool isBusy() const {
        return message_.contains(QStringLiteral("database is locked"), Qt::CaseInsensitive) ||
               message_.contains(QStringLiteral("busy"), Qt::CaseInsensitive);
    }

  private:
    QString message_;
};

}  // namespace kesola
