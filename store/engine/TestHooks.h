#pragma once

#include <QString>

// Seams for the tests that kill a writer process part-way through its work. Null in the program, where each costs
// one test of a pointer.
namespace kesola::test_hooks {

// Called with a statement's text just before the engine runs it (for the commit, "COMMIT"), on the thread that runs
// it. A test's worker process sets it to report how far a write transaction got and to pause between statements.
inline void (*beforeStatement)(const QString& sql) = nullptr;

}  // namespace kesola::test_hooks
