#pragma once

#include <QString>

namespace kesola::bench {

// Makes (once) a database file holding `reservations` reservations spread over two rooms and many days, with
// about 30 bookings a day, and returns its path. Files are kept under bench-data/ and reused by later runs.
QString benchDatabase(int reservations);

// The day of the generated data the benchmarks look at (room 1): it holds about 30 bookings.
// It lies inside every generated database, from 1,000 rows up.
inline constexpr int kBenchYear = 2001;
inline constexpr int kBenchMonth = 1;
inline constexpr int kBenchDay = 5;

}  // namespace kesola::bench
