// Growth of the byte buffer and release of the response record.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "http/byte_buffer.h"
#include "http/exchange.h"

namespace {

unsigned int Used(const ByteBuffer* buffer) {
    return (unsigned int)(buffer->pos - buffer->start);
}

// The pattern byte at offset i, so that moved content can be checked.
char PatternByte(unsigned int i) {
    return (char)('a' + i % 26);
}

void ExpectPattern(const ByteBuffer* buffer, unsigned int count) {
    ASSERT_EQ(count, Used(buffer));
    for (unsigned int i = 0; i < count; ++i) {
        ASSERT_EQ(PatternByte(i), buffer->start[i]) << "at " << i;
    }
}

} // namespace

TEST(ByteBuffer, PutsGrowOnlyWhenFullAndKeepTheContent) {
    ByteBuffer buffer;
    ASSERT_NE(nullptr, ByteBufferInit(&buffer));
    EXPECT_EQ(10, buffer.capacity);
    EXPECT_EQ(buffer.start, buffer.pos);
    int expected = 10;
    for (unsigned int n = 1; n <= 700; ++n) {
        ByteBufferPutByte(&buffer, PatternByte(n - 1));
        if (n > (unsigned int)expected) {
            expected *= 2; // the block was full before this byte, and only then
        }
        ASSERT_EQ(expected, buffer.capacity) << "after " << n << " puts";
    }
    ExpectPattern(&buffer, 700);
    std::free(buffer.start);
}

TEST(ByteBuffer, AppendLeavesRoomForTheTerminator) {
    struct Case {
        unsigned int puts; // bytes put one by one first
        unsigned int count;
        int capacity;
    };
    const Case cases[] = {{0, 9, 10},  {0, 10, 20},    {0, 1024, 1280}, {3, 0, 10},
                          {10, 0, 20}, {20, 300, 640}, {5, 5, 20}};
    char source[1100];
    for (const Case& c : cases) {
        ByteBuffer buffer;
        ByteBufferInit(&buffer);
        for (unsigned int i = 0; i < c.puts; ++i) {
            ByteBufferPutByte(&buffer, PatternByte(i));
        }
        for (unsigned int i = 0; i < c.count; ++i) {
            source[i] = PatternByte(c.puts + i);
        }
        ByteBufferAppend(&buffer, source, c.count);
        EXPECT_EQ(c.capacity, buffer.capacity) << c.puts << " puts, append " << c.count;
        ExpectPattern(&buffer, c.puts + c.count);
        EXPECT_LT(Used(&buffer), (unsigned int)buffer.capacity);
        std::free(buffer.start);
    }
}

// The block under test is small; only the capacity field claims it is huge,
// which is all the growth check looks at before it resizes.
TEST(ByteBuffer, GrowthPastTheIntRangeFailsTheBuffer) {
    ByteBuffer buffer;
    ByteBufferInit(&buffer);
    buffer.capacity = INT_MAX / 2 + 1;
    ByteBufferGrow(&buffer);
    EXPECT_EQ(nullptr, buffer.start);
    EXPECT_EQ(nullptr, buffer.pos);
    EXPECT_EQ(0, buffer.capacity);

    // A failed buffer takes nothing and stays failed.
    ByteBufferPutByte(&buffer, 'x');
    ByteBufferAppend(&buffer, "abc", 3);
    ByteBufferGrow(&buffer);
    EXPECT_EQ(nullptr, buffer.start);

    // used + count must not wrap around 32 bits and slip past the check.
    ByteBufferInit(&buffer);
    ByteBufferPutByte(&buffer, 'x');
    buffer.capacity = 10 << 27;
    ByteBufferAppend(&buffer, "y", 0xFFFFFFFFu);
    EXPECT_EQ(nullptr, buffer.start);
}

TEST(FreeHttpResponse, ReleasesEachBlockOnce) {
    HttpResponse response = {(char*)std::malloc(4), (char*)std::malloc(8), 7};
    FreeHttpResponse(&response);
    EXPECT_EQ(nullptr, response.header);
    EXPECT_EQ(nullptr, response.body);
    EXPECT_EQ(7, response.bodyLength);
    FreeHttpResponse(&response); // again: nothing left to release
    FreeHttpResponse(nullptr);

    HttpResponse bodyOnly = {nullptr, (char*)std::malloc(1), 0};
    FreeHttpResponse(&bodyOnly);
    EXPECT_EQ(nullptr, bodyOnly.body);
}
