// The byte-range reader that libmpg123 reads files through.

#include "audio/RangeReader.h"
#include "support/Mp3Fixtures.h"

#include <gtest/gtest.h>

#include <fstream>

using audio::RangeReader;

namespace {

class RangeReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("bytes.bin");
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < kSize; ++i)
            out.put(byteAt(i));
    }
    static char byteAt(std::size_t i) { return static_cast<char>((i * 31 + i / 251) & 0xff); }
    std::string expected(std::size_t from, std::size_t count) {
        std::string s;
        for (std::size_t i = from; i < from + count; ++i)
            s.push_back(byteAt(i));
        return s;
    }
    std::string readAll(RangeReader& r, std::size_t chunk) {
        std::string out;
        std::string buffer(chunk, '\0');
        for (;;) {
            ssize_t got = r.read(buffer.data(), chunk);
            if (got <= 0) return out;
            out.append(buffer, 0, static_cast<std::size_t>(got));
        }
    }

    static constexpr std::size_t kSize = 300000; // several reader buffers
    fixtures::TempDir dir;
    std::string path;
};

} // namespace

// Whatever the read size (one byte at a time as libmpg123 hunts for a frame, or large blocks), the
// reader delivers exactly the bytes of its range and stops at the range's end.
TEST_F(RangeReaderTest, DeliversExactlyTheRange) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, std::size_t{200000}}) {
        SCOPED_TRACE(chunk);
        auto r = RangeReader::open(path, 70001, 100000);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->size(), 100000u);
        EXPECT_EQ(r->fileSize(), kSize);
        EXPECT_EQ(readAll(*r, chunk), expected(70001, 100000));
        char c;
        EXPECT_EQ(r->read(&c, 1), 0) << "past the range";
    }
    auto whole = RangeReader::open(path, 0, 0);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), kSize) << "length 0 reads to the end";
    auto clipped = RangeReader::open(path, kSize - 10, 100000);
    ASSERT_TRUE(clipped);
    EXPECT_EQ(readAll(*clipped, 3), expected(kSize - 10, 10));
    EXPECT_FALSE(RangeReader::open(path, kSize, 0)) << "starts at the end";
    EXPECT_FALSE(RangeReader::open(dir.file("missing"), 0, 0));
    EXPECT_FALSE(RangeReader::open(dir.path(), 0, 0)) << "a folder";
}

// Seeks are relative to the range and stay inside it; a failed seek leaves the position alone, and
// reading after a seek (back into the buffer or far away) gives the bytes of the new place.
TEST_F(RangeReaderTest, SeeksWithinTheRangeOnly) {
    auto r = RangeReader::open(path, 1000, 150000);
    ASSERT_TRUE(r);
    char buffer[16];
    ASSERT_EQ(r->read(buffer, 10), 10);
    EXPECT_EQ(r->seek(5, SEEK_CUR), 15);
    ASSERT_EQ(r->read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), expected(1015, 4));
    EXPECT_EQ(r->seek(3, SEEK_SET), 3) << "back inside the buffer";
    ASSERT_EQ(r->read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), expected(1003, 4));
    EXPECT_EQ(r->seek(-6, SEEK_END), 149994);
    EXPECT_EQ(r->read(buffer, 16), 6);
    EXPECT_EQ(std::string(buffer, 6), expected(1000 + 149994, 6));
    EXPECT_EQ(r->seek(0, SEEK_END), 150000);

    EXPECT_EQ(r->seek(-1, SEEK_SET), -1);
    EXPECT_EQ(r->seek(150001, SEEK_SET), -1);
    EXPECT_EQ(r->seek(1, SEEK_END), -1);
    EXPECT_EQ(r->seek(0, 42), -1);
    EXPECT_EQ(r->position(), 150000u);
    EXPECT_EQ(r->seek(70000, SEEK_SET), 70000);
    ASSERT_EQ(r->read(buffer, 16), 16);
    EXPECT_EQ(std::string(buffer, 16), expected(71000, 16));
}

TEST_F(RangeReaderTest, AbortFlagStopsReads) {
    auto r = RangeReader::open(path, 0, 0);
    std::atomic<bool> abort{false};
    r->setAbortFlag(&abort);
    char c;
    EXPECT_EQ(r->read(&c, 1), 1);
    abort = true;
    EXPECT_EQ(r->read(&c, 1), -1);
}
