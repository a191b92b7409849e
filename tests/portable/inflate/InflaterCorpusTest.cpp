// The shared DEFLATE conformance corpus: streams from three other inflater projects
// with zlib's verdicts. Our Inflate takes zlib-wrapped data and skips the 2-byte header
// unread, so raw DEFLATE streams get two dummy bytes in front, and gzip members have
// their header replaced by two dummy bytes.
#include "formats/Inflater.h"
#include "tests/portable/inflate/InflateHelpers.h"
#include "tests/portable/inflate/ReferenceInflater.h"
#include "tests/support/Sha256.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace moirelle::test {
namespace {

struct Entry {
    std::string file, format, result, lengthOrError, sha256;
};

// Where zlib's verdict differs from this inflater's rules, ours is stated here.
// Everything else must agree with zlib.
const std::map<std::string, std::pair<bool, const char*>> kOurVerdicts = {
    {"fdeflate/tests/input-chunking-sensitivity-example1.zz",
     {true, "the Adler-32 trailer is never checked"}},
    {"miniz_oxide/issue_130_table_size.bin",
     {true, "HLIT above 286 is accepted; the extra lengths are never used"}},
};

std::vector<Entry> ReadTable(const std::string& path) {
    std::string text;
    if (!ReadFile(path, text)) return {};
    std::vector<Entry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::string field;
        std::istringstream cols(line);
        while (std::getline(cols, field, '\t'))
            fields.push_back(field);
        fields.resize(5);
        entries.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
    }
    return entries;
}

// The stream in the form Inflate takes: 2 bytes that are skipped, then raw DEFLATE.
bool AsZlibStream(const Entry& entry, const std::string& file, Bytes& stream) {
    const Bytes data(file.begin(), file.end());
    if (entry.format == "zlib") {
        stream = data;
        return true;
    }
    size_t start = 0;
    if (entry.format == "gzip") {
        if (data.size() < 10) return false;
        const uint8_t flags = data[3];
        start = 10;
        if (flags & 4) start += 2 + (data[start] | (size_t{data[start + 1]} << 8)); // FEXTRA
        if (flags & 8)                                                              // FNAME
            while (start < data.size() && data[start++] != 0) {
            }
        if (flags & 16) // FCOMMENT
            while (start < data.size() && data[start++] != 0) {
            }
        if (flags & 2) start += 2; // FHCRC
        if (start > data.size()) return false;
    } else if (entry.format != "raw-deflate") {
        return false;
    }
    stream = {0x78, 0x9c};
    stream.insert(stream.end(), data.begin() + static_cast<ptrdiff_t>(start), data.end());
    return true;
}

TEST(InflaterCorpus, DeflateStreamsDecodeAsExpected) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "conformance corpus folder not found (../shared/corpus)";
    const std::string dir = JoinPath(corpus, "deflate");
    const std::vector<Entry> entries = ReadTable(JoinPath(dir, "zlib-reference-results.tsv"));
    ASSERT_GT(entries.size(), 50u) << "zlib-reference-results.tsv missing or empty";
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.file);
        std::string file;
        ASSERT_TRUE(ReadFile(JoinPath(dir, entry.file), file));
        Bytes stream;
        ASSERT_TRUE(AsZlibStream(entry, file, stream)) << entry.format;

        const auto ours = kOurVerdicts.find(entry.file);
        if (entry.result == "OK") {
            const size_t size = std::stoul(entry.lengthOrError);
            const InflateResult r = RunInflate(stream, size);
            EXPECT_TRUE(r.ok);
            EXPECT_EQ(Sha256Hex(r.output.data(), r.output.size()), entry.sha256);
            if (size > 0) {
                EXPECT_FALSE(RunInflate(stream, size - 1).ok);
            }
            continue;
        }
        // zlib refused the stream. Unless our rules say otherwise, so must we; either
        // way the result must be the one the plain inflater gives.
        const size_t size = 1 << 20;
        const InflateResult r = RunInflate(stream, size);
        Bytes expected(size, 0);
        const bool referenceOk =
            ReferenceInflate(expected.data(), size, stream.data(), stream.size());
        EXPECT_EQ(r.ok, referenceOk);
        if (ours != kOurVerdicts.end()) {
            EXPECT_EQ(r.ok, ours->second.first) << ours->second.second;
        } else {
            EXPECT_FALSE(r.ok) << "zlib: " << entry.lengthOrError;
        }
        if (r.ok && referenceOk) {
            EXPECT_TRUE(r.output == expected);
        }
    }
}

} // namespace
} // namespace moirelle::test
