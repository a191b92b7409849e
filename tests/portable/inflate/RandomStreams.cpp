#include "tests/portable/inflate/RandomStreams.h"

#include "tests/portable/inflate/StreamWriter.h"

#include <algorithm>

namespace moirelle::test {
namespace {

// Code lengths for `count` symbols: a complete code grown by splitting leaves, then
// maybe thinned (incomplete) or given an extra code (over-subscribed).
std::vector<int> RandomLengths(Random& rng, int count, int maxLength) {
    std::vector<int> leaves = {1, 1};
    const int want = 1 + static_cast<int>(rng.Below(static_cast<uint32_t>(count)));
    while (static_cast<int>(leaves.size()) < want) {
        const size_t i = rng.Below(static_cast<uint32_t>(leaves.size()));
        if (leaves[i] >= maxLength) {
            if (rng.Below(8) == 0) break;
            continue;
        }
        ++leaves[i];
        leaves.push_back(leaves[i]);
    }
    if (rng.Below(4) == 0 && leaves.size() > 1)
        leaves.resize(1 + rng.Below(static_cast<uint32_t>(leaves.size())));
    if (rng.Below(16) == 0)
        leaves.push_back(1 + static_cast<int>(rng.Below(static_cast<uint32_t>(maxLength))));
    std::vector<int> lengths(static_cast<size_t>(count), 0);
    std::vector<int> symbols(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        symbols[static_cast<size_t>(i)] = i;
    for (size_t i = 0; i < symbols.size(); ++i)
        std::swap(symbols[i], symbols[i + rng.Below(static_cast<uint32_t>(symbols.size() - i))]);
    for (size_t i = 0; i < leaves.size() && i < symbols.size(); ++i)
        lengths[static_cast<size_t>(symbols[i])] = leaves[i];
    return lengths;
}

std::vector<int> UsedSymbols(const std::vector<int>& lengths) {
    std::vector<int> used;
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] != 0) used.push_back(static_cast<int>(s));
    return used;
}

int ExtraBitsOfLength(int symbol) {
    return symbol < 265 || symbol == 285 ? 0 : (symbol - 261) / 4;
}
int ExtraBitsOfDistance(int symbol) {
    return symbol < 4 ? 0 : symbol / 2 - 1;
}

int LengthOf(int symbol, uint32_t extra) {
    static const int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    return base[symbol - 257] + static_cast<int>(extra);
}

size_t DistanceBase(int symbol) {
    static const int base[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                 33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    return symbol < 30 ? static_cast<size_t>(base[symbol]) : 1;
}

} // namespace

RandomStream MakeRandomStream(Random& rng) {
    StreamWriter w;
    RandomStream result;
    const int blocks = 1 + static_cast<int>(rng.Below(4));
    // Most streams stay valid: distances within the output, no reserved symbols.
    const bool wild = rng.Below(8) == 0;
    size_t produced = 0;
    for (int b = 0; b < blocks; ++b) {
        const bool final = b == blocks - 1;
        const uint32_t type = rng.Below(10);
        if (type == 0) {
            Bytes data(rng.Below(rng.Below(2) ? 40 : 3000));
            for (uint8_t& d : data)
                d = static_cast<uint8_t>(rng.Next());
            w.Stored(final, data);
            result.outputBound += data.size();
            produced += data.size();
            continue;
        }
        if (type == 1 && rng.Below(4) == 0) {
            w.BlockHeader(final, 3);
            continue;
        }
        std::vector<int> lit, dist;
        HuffmanCodes litCodes, distCodes;
        if (type <= 3) {
            w.BlockHeader(final, 1);
        } else {
            const int litCount = 257 + static_cast<int>(rng.Below(32));
            const int distCount = 1 + static_cast<int>(rng.Below(32));
            lit = RandomLengths(rng, litCount, 1 + static_cast<int>(rng.Below(15)));
            if (rng.Below(2)) lit[256] = std::max(lit[256], 1 + static_cast<int>(rng.Below(15)));
            dist = RandomLengths(rng, distCount, 1 + static_cast<int>(rng.Below(15)));
            if (rng.Below(10) == 0) std::fill(dist.begin(), dist.end(), 0);
            w.DynamicHeader(final, lit, dist);
            litCodes = CanonicalCodes(lit);
            distCodes = CanonicalCodes(dist);
        }
        const bool fixed = type <= 3;
        std::vector<int> litUsed = fixed ? std::vector<int>{} : UsedSymbols(lit);
        std::vector<int> distUsed = fixed ? std::vector<int>{} : UsedSymbols(dist);
        const int symbols = static_cast<int>(rng.Below(rng.Below(2) ? 30 : 3000));
        for (int i = 0; i < symbols; ++i) {
            int symbol;
            if (fixed) {
                const uint32_t pick = rng.Below(100);
                symbol = pick < 60            ? static_cast<int>(rng.Below(256))
                         : pick < 99 || !wild ? 257 + static_cast<int>(rng.Below(29))
                                              : 286 + static_cast<int>(rng.Below(2));
            } else {
                if (litUsed.empty()) break;
                symbol = litUsed[rng.Below(static_cast<uint32_t>(litUsed.size()))];
                if (symbol == 256) continue;
            }
            // Pick the distance first so that a match reaches only into the output.
            int d = -1;
            if (symbol > 256 && symbol < 286) {
                static const std::vector<int> fixedDistances = {0, 1,  2,  3,  4,  5, 6,
                                                                7, 10, 20, 29, 30, 31};
                const std::vector<int>& pool = fixed ? fixedDistances : distUsed;
                for (int tries = 0; tries < 4 && d < 0 && !pool.empty(); ++tries) {
                    const int c = pool[rng.Below(static_cast<uint32_t>(pool.size()))];
                    if (wild || (c < 30 && DistanceBase(c) <= produced)) d = c;
                }
                if (d < 0) {
                    if (wild) break;
                    continue;
                }
            }
            if (fixed) {
                w.FixedLiteral(symbol);
            } else {
                w.Symbol(litCodes, symbol);
            }
            if (symbol < 256) {
                result.outputBound += 1;
                produced += 1;
                continue;
            }
            if (symbol >= 286) break;
            const int extra = ExtraBitsOfLength(symbol);
            const uint32_t extraValue = rng.Below(1u << extra);
            w.Bits(extraValue, extra);
            result.outputBound += 258;
            if (fixed) {
                w.FixedDistance(d);
            } else {
                w.Symbol(distCodes, d);
            }
            const int dextra = ExtraBitsOfDistance(std::min(d, 29));
            // Extra bits that keep the distance within the output.
            const size_t room = produced > DistanceBase(d) ? produced - DistanceBase(d) : 0;
            const auto limit =
                static_cast<uint32_t>(std::min<size_t>(room + 1, size_t{1} << dextra));
            w.Bits(wild ? rng.Below(1u << dextra) : rng.Below(limit), dextra);
            produced += static_cast<size_t>(LengthOf(symbol, extraValue));
        }
        if (fixed)
            w.FixedLiteral(256);
        else if (lit[256] != 0)
            w.Symbol(litCodes, 256);
    }
    result.stream = w.Finish();
    return result;
}

} // namespace moirelle::test
