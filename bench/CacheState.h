#pragma once
// Cold runs: a job's buffers written back and dropped from every cache level before the
// run, so that it starts with its data in memory only (the state after other work).

#include <cstddef>

namespace moirelle::bench {

// Writes back and drops every cache line of the `size` bytes at `data`.
void FlushFromCaches(const void* data, size_t size);

} // namespace moirelle::bench
