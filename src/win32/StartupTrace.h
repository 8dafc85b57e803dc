// Timing marks of the start-up's steps, for the start-up benchmark's
// breakdown (scripts/bench --breakdown). They are compiled in only when the
// build is configured with OSTREL_STARTUP_TRACE=ON; otherwise every mark is
// an empty inline function and the program is the same as without them.
#pragma once

#ifdef OSTREL_STARTUP_TRACE
namespace startup_trace {
// The time since the previous mark (since the process was created, for the
// first) is added to `step`; a step marked several times (once per page)
// adds up. `step` must be a literal.
void Mark(const char* step);
// Appends the steps to startup-trace.txt in the current folder, one line
// each ("step<TAB>ms<TAB>count"), then a line "end"; once, later calls do
// nothing.
void Report();
}  // namespace startup_trace
#else
namespace startup_trace {
inline void Mark(const char*) {}
inline void Report() {}
}  // namespace startup_trace
#endif
