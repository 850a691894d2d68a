#pragma once

#include <QString>

namespace kesola::bench {

// Makes (once) a database file holding `reservations` reservations spread over two rooms and many days, with
// about 30 bookings a day, and returns its path. Files are kept under bench-data/ and reused by later runs.
QString benchDatabase(int reservations);

// The day of the generated data the benchmarks look at (room 1): it holds about 30 bookings.
inline constexpr int kBenchYear = 2010;
inline constexpr int kBenchMonth = 6;
inline constexpr int kBenchDay = 15;

}  // namespace kesola::bench
