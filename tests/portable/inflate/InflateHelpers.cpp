#include "tests/portable/inflate/InflateHelpers.h"

#include "formats/Inflater.h"

namespace moirelle::test {

InflateResult RunInflate(const Bytes& stream, size_t outputSize) {
    InflateResult result;
    result.output.assign(outputSize, 0);
    // A separate copy of the input, exactly sized, so that the sanitizers see any read
    // past its end.
    const Bytes input(stream);
    result.ok = Inflate(result.output.data(), outputSize, input.data(), input.size());
    return result;
}

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

} // namespace moirelle::test
