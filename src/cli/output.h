#pragma once
// qdb's standard output. Every write is checked: a full disk, a closed pipe or /dev/full must
// not pass for success.
#include <string_view>

namespace qdb {

// Writes to standard output; after a failure further text is dropped and the failure is kept.
void writeOut(std::string_view text);
// Pushes what is buffered out, so that a message on stderr follows it.
void flushOut();
// Flushes and closes standard output. On any failure during the run prints the Russian message
// with the system's reason on stderr and returns false.
bool finishOut();

}  // namespace qdb
