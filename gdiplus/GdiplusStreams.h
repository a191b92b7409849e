#pragma once
// Copies between byte arrays and memory streams, the form in which GDI+ reads and writes
// image data that is not in a file.

#include "platform/win/ComPtr.h"

#include <objidl.h>

#include <cstdint>
#include <span>
#include <vector>

namespace moirelle::gdip {

// A stream over a copy of the bytes from firstIndex on, in a movable memory block that
// the stream frees when released; an empty stream that grows when written to when there
// are no such bytes. Null when memory or the stream cannot be had.
win::ComPtr<IStream> ArrayToStream(std::span<const uint8_t> bytes, size_t firstIndex = 0);

// Replaces out with the data of a memory stream. Only the bytes written into the stream
// are taken: its memory block may be larger, and the rest of the block is not data.
// False (out emptied) when the stream holds nothing or is not a memory stream.
bool StreamToArray(IStream* stream, std::vector<uint8_t>& out);

} // namespace moirelle::gdip
