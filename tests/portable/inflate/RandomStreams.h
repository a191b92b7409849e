#pragma once
// Random DEFLATE streams written bit by bit: every block type, code sets complete,
// incomplete or over-subscribed, codes up to 15 bits, matches of every length and
// distance (some reaching too far back), and now and then a reserved symbol.

#include "tests/portable/inflate/InflateHelpers.h"

namespace moirelle::test {

struct RandomStream {
    Bytes stream;
    size_t outputBound = 0; // an output size that every decodable prefix fits
};

RandomStream MakeRandomStream(Random& rng);

} // namespace moirelle::test
