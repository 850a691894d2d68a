#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace kesola {

// A record set's columns found by name without regard to case, as Qt SQL finds them. Callers ask for the same few
// names on every row, so each name as asked is looked up once and then found again by an exact comparison.
class ColumnLookup {
  public:
    explicit ColumnLookup(QStringList names = {}) : names_(std::move(names)) {}

    const QStringList& names() const { return names_; }

    // The column's index, or -1 when no column has that name.
    int indexOf(const QString& name) const {
        for (const auto& [asked, index] : asked_) {
            if (asked == name) return index;
        }
        int index = -1;
        for (int i = 0; i < names_.size() && index < 0; ++i) {
            if (names_[i].compare(name, Qt::CaseInsensitive) == 0) index = i;
        }
        asked_.emplace_back(name, index);
        return index;
    }

  private:
    QStringList names_;
    mutable std::vector<std::pair<QString, int>> asked_;
};

}  // namespace kesola
