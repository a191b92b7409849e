#pragma once
// Plain `new` that fails on demand, for the tests of what runs out of memory. A test
// program that calls these gets this file's `operator new` and `delete` in place of the
// library's (a program that calls neither keeps the library's).

namespace moirelle::test {

// The calling thread's allocations through plain `new` succeed `count` more times, then
// one throws std::bad_alloc; -1: none fails.
void FailNewAfter(int count);
// Whether the failure asked for has come (or none was asked for).
bool NewFailureCame();

} // namespace moirelle::test
