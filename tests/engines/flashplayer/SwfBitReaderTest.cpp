#include "engines/flashplayer/SwfBitReader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using swf::BitReader;
using swf::ReadError;

struct BitCase {
    const char *name;
    const char *hex;
    std::function<int64_t(BitReader &)> read;
    int64_t expected;
    size_t positionAfter;
};

class BitReaderFields : public ::testing::TestWithParam<BitCase> {};

TEST_P(BitReaderFields, DecodesTheField)
{
    const QByteArray bytes = QByteArray::fromHex(GetParam().hex);
    BitReader in(bytes);
    EXPECT_EQ(GetParam().read(in), GetParam().expected);
    EXPECT_EQ(in.position(), GetParam().positionAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BitReaderFields,
    ::testing::Values(
        BitCase{"UnsignedHighBitsFirst", "b8", [](BitReader &r) { return r.ub(3); }, 5, 1},
        BitCase{"SignedAfterUnsigned", "b8", [](BitReader &r) { r.ub(3); return r.sb(2); }, -1, 1},
        BitCase{"SignedNegativeAcrossBytes", "3f40", [](BitReader &r) { r.ub(3); return r.sb(7); }, -3, 2},
        BitCase{"SignedPositiveKeepsValue", "40", [](BitReader &r) { return r.sb(3); }, 2, 1},
        BitCase{"ZeroBitsReadNothing", "ff", [](BitReader &r) { return r.sb(0) + r.ub(0); }, 0, 0},
        BitCase{"ThirtyTwoBits", "ffffffff", [](BitReader &r) { return r.ub(32); }, 0xFFFFFFFFll, 4},
        BitCase{"ThirtyTwoSignedBits", "80000000", [](BitReader &r) { return r.sb(32); }, -2147483648ll, 4},
        BitCase{"ByteReadAligns", "c0ab", [](BitReader &r) { r.ub(2); return r.u8(); }, 0xAB, 2},
        BitCase{"LittleEndian16", "3412", [](BitReader &r) { return r.u16(); }, 0x1234, 2},
        BitCase{"LittleEndian32", "78563412", [](BitReader &r) { return r.u32(); }, 0x12345678, 4},
        BitCase{"Signed16", "feff", [](BitReader &r) { return r.s16(); }, -2, 2},
        BitCase{"Fixed8", "8001", [](BitReader &r) { return int64_t(r.fixed8() * 256); }, 384, 2},
        BitCase{"Fixed16Negative", "0000ffff", [](BitReader &r) { return int64_t(r.fixed16() * 65536); }, -65536, 4},
        BitCase{"FixedBits", "600000", [](BitReader &r) { return int64_t(r.fb(18) * 65536); }, 98304, 3},
        BitCase{"EncodedOneByte", "7f", [](BitReader &r) { return r.encodedU32(); }, 127, 1},
        BitCase{"EncodedTwoBytes", "8001", [](BitReader &r) { return r.encodedU32(); }, 128, 2},
        BitCase{"EncodedFiveBytes", "ffffffff0f", [](BitReader &r) { return r.encodedU32(); }, 0xFFFFFFFFll, 5},
        BitCase{"EncodedStopsAtFive", "ffffffffff01", [](BitReader &r) { return r.encodedU32(); }, 0xFFFFFFFFll, 5},
        BitCase{"Float", "0000c03f", [](BitReader &r) { return int64_t(r.f32() * 4); }, 6, 4}),
    [](const auto &info) { return std::string(info.param.name); });

struct OverReadCase {
    const char *name;
    const char *hex;
    std::function<void(BitReader &)> read;
};

class BitReaderBounds : public ::testing::TestWithParam<OverReadCase> {};

TEST_P(BitReaderBounds, RefusesToReadPastTheEnd)
{
    const QByteArray bytes = QByteArray::fromHex(GetParam().hex);
    BitReader in(bytes);
    EXPECT_THROW(GetParam().read(in), ReadError);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, BitReaderBounds,
    ::testing::Values(OverReadCase{"BitsPastEnd", "ff", [](BitReader &r) { r.ub(9); }},
                      OverReadCase{"WordPastEnd", "ff", [](BitReader &r) { r.u16(); }},
                      OverReadCase{"ByteAfterPartialByte", "ff", [](BitReader &r) { r.ub(1); r.u8(); }},
                      OverReadCase{"StringWithoutNull", "4142", [](BitReader &r) { r.string(); }},
                      OverReadCase{"BytesPastEnd", "010203", [](BitReader &r) { r.bytes(4); }},
                      OverReadCase{"HugeCount", "01", [](BitReader &r) { r.skip(size_t(-1)); }},
                      OverReadCase{"SliceOutside", "0102", [](BitReader &r) { r.slice(1, size_t(-1)); }},
                      OverReadCase{"EncodedPastEnd", "8080", [](BitReader &r) { r.encodedU32(); }},
                      OverReadCase{"WiderThan32", "ffffffffff", [](BitReader &r) { r.ub(33); }},
                      OverReadCase{"EmptyData", "", [](BitReader &r) { r.u8(); }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(BitReaderViews, SubReaderIsConfinedAndAdvancesTheParent)
{
    const QByteArray bytes = QByteArray::fromHex("0102030405");
    BitReader in(bytes);
    in.u8();
    BitReader sub = in.sub(2);
    EXPECT_EQ(in.position(), 3u);
    EXPECT_EQ(sub.u16(), 0x0302);
    EXPECT_THROW(sub.u8(), ReadError);
    EXPECT_EQ(in.u8(), 4);
}

TEST(BitReaderViews, StringConsumesItsTerminator)
{
    const QByteArray bytes("ab\0c\0", 5);
    BitReader in(bytes);
    EXPECT_EQ(in.string(), QByteArray("ab"));
    EXPECT_EQ(in.string(), QByteArray("c"));
    EXPECT_TRUE(in.atEnd());
}

} // namespace
