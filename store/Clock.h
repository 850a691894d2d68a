#pragma once

#include <QDate>

namespace kesola {

// "Today" for the board's start-up; tests set their own.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

class SystemClock : public Clock {
  public:
    QDate today() const override { return QDate::currentDate(); }
};

class FixedClock : public Clock {
  public:
    explicit FixedClock(QDate date) : date_(date) {}
    QDate today() const override { return date_; }
    void set(QDate date) { date_ = date; }

  private:
    QDate date_;
};

}  // namespace kesola
