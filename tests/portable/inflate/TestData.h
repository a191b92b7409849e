#pragma once
// Generated data of the kinds the inflater meets: noise, text, runs, image rows.

#include "tests/portable/inflate/InflateHelpers.h"

namespace moirelle::test {

enum class DataKind { Noise, Text, Runs, ImageRows, Zeros, Mixed };
inline constexpr DataKind kAllDataKinds[] = {DataKind::Noise,     DataKind::Text,  DataKind::Runs,
                                             DataKind::ImageRows, DataKind::Zeros, DataKind::Mixed};

Bytes MakeData(DataKind kind, size_t size, uint64_t seed);

} // namespace moirelle::test
