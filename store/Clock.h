#pragma once

#include <QDate>
#include <QTime>

namespace kesola {

// "Today" and the time of day, for the board's start-up and the free-slot search; tests set their own.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    virtual QTime now() const = 0;
};

class SystemClock : public Clock {
  public:
    QDate today() const override { return QDate::currentDate(); }
    QTime now() const override { return QTime::currentTime(); }
};

// Stands still at the given day and time; the time is midnight unless set.
class FixedClock : public Clock {
  public:
    explicit FixedClock(QDate date, QTime time = QTime(0, 0)) : date_(date), time_(time) {}
    QDate today() const override { return date_; }
    QTime now() const override { return time_; }
    void set(QDate date) { date_ = date; }
    void setTime(QTime time) { time_ = time; }

  private:
    QDate date_;
    QTime time_;
};

}  // namespace kesola
