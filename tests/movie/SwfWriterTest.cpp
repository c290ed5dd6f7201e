#include "engines/flashplayer/SwfWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

#include <functional>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

using Compression = SwfWriter::Compression;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

struct BitsCase {
    const char *name;
    std::function<void(BitWriter &)> write;
    const char *expected; // hex
    size_t bitLength;
};

class BitWriterTest : public ::testing::TestWithParam<BitsCase> {};

TEST_P(BitWriterTest, PacksFieldsMostSignificantBitFirst)
{
    BitWriter w;
    GetParam().write(w);
    EXPECT_EQ(w.bytes().toHex(), QByteArray(GetParam().expected));
    EXPECT_EQ(w.bitLength(), GetParam().bitLength);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BitWriterTest,
    ::testing::Values(
        BitsCase{"OneBit", [](BitWriter &w) { w.writeUB(1, 1); }, "80", 1},
        BitsCase{"UnsignedThenSigned", [](BitWriter &w) { w.writeUB(5, 3).writeSB(-1, 2); }, "b8", 5},
        BitsCase{"NegativeTwoInTwoBits", [](BitWriter &w) { w.writeSB(-2, 2); }, "80", 2},
        BitsCase{"MostNegativeIn15Bits", [](BitWriter &w) { w.writeSB(-16384, 15); }, "8000", 15},
        BitsCase{"NegativeAcrossBytes", [](BitWriter &w) { w.writeUB(1, 3).writeSB(-3, 7); }, "3f40", 10},
        BitsCase{"ThirtyTwoBits", [](BitWriter &w) { w.writeUB(0xFFFFFFFF, 32); }, "ffffffff", 32},
        BitsCase{"NineThenSeven", [](BitWriter &w) { w.writeUB(0x1FF, 9).writeUB(0, 7); }, "ff80", 16},
        BitsCase{"ZeroBitsWriteNothing", [](BitWriter &w) { w.writeUB(0, 0).writeSB(0, 0); }, "", 0},
        BitsCase{"ByteAligns", [](BitWriter &w) { w.writeUB(3, 2).writeByte(0xAB).writeUB(1, 1); }, "c0ab80", 17},
        BitsCase{"FixedOneAndAHalf", [](BitWriter &w) { w.writeFB(1.5, 18); }, "600000", 18},
        BitsCase{"FixedMinusOne", [](BitWriter &w) { w.writeFB(-1.0, 18); }, "c00000", 18}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(BitWriterSizes, FewestBitsHoldingTheValue)
{
    struct Unsigned { uint32_t value; unsigned bits; };
    for (auto c : {Unsigned{0, 0}, Unsigned{1, 1}, Unsigned{255, 8}, Unsigned{256, 9},
                   Unsigned{0xFFFFFFFF, 32}})
        EXPECT_EQ(BitWriter::bitsForUB(c.value), c.bits) << c.value;

    struct Signed { int32_t value; unsigned bits; };
    for (auto c : {Signed{0, 0}, Signed{1, 2}, Signed{-1, 1}, Signed{-2, 2}, Signed{11000, 15},
                   Signed{-16384, 15}, Signed{16384, 16}, Signed{std::numeric_limits<int32_t>::max(), 32},
                   Signed{std::numeric_limits<int32_t>::min(), 32}})
        EXPECT_EQ(BitWriter::bitsForSB(c.value), c.bits) << c.value;

    EXPECT_EQ(BitWriter::bitsForFB(1.5), 18u);
    EXPECT_EQ(BitWriter::bitsForFB(-1.0), 17u);
}

TEST(BitWriterSizes, ValuesThatDoNotFitAreRefused)
{
    BitWriter w;
    EXPECT_THROW(w.writeUB(8, 3), std::invalid_argument);
    EXPECT_THROW(w.writeSB(4, 3), std::invalid_argument);
    EXPECT_THROW(w.writeSB(-5, 3), std::invalid_argument);
    EXPECT_THROW(w.writeUB(1, 33), std::invalid_argument);
    EXPECT_THROW(w.writeFB(40000.0, 32), std::invalid_argument);
    EXPECT_THROW(TagBody().rect({0, 0x40000000, 0, 0}), std::invalid_argument); // needs 32 bits
    EXPECT_THROW(TagBody().rect({0, 11000, 0, 8000}, 14), std::invalid_argument);
    EXPECT_THROW(TagBody().string(QByteArray("a\0b", 3)), std::invalid_argument);
    EXPECT_EQ(w.bitLength(), 0u);
}

TEST(TagBodyTest, RectanglesAndLittleEndianFields)
{
    // The 550 x 400 pixel stage as authoring tools store it.
    EXPECT_EQ(TagBody().rect({0, 11000, 0, 8000}).bytes().toHex(), "7800055f00000fa000");
    // 5-bit fields 1, 2, 3, 4 after n = 5.
    EXPECT_EQ(TagBody().rect({1, 2, 3, 4}, 5).bytes().toHex(), "28443200");
    EXPECT_EQ(TagBody().rect({}).bytes().toHex(), "00");
    EXPECT_EQ(TagBody().ub(1, 1).ui16(0x1234).si16(-2).ui32(0xA1B2C3D4).bytes().toHex(),
              "80" "3412" "feff" "d4c3b2a1");
    EXPECT_EQ(TagBody().fixed8(1.5).fixed(-0.5).bytes().toHex(), "8001" "0080ffff");
    EXPECT_EQ(TagBody().rgba(1, 2, 3, 4).string("ab").bytes().toHex(), "01020304" "616200");
}

struct TagCase {
    const char *name;
    uint16_t code;
    int bodySize;
    bool forceLong;
    const char *header; // hex
};

class TagRecordTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(TagRecordTest, ShortOrLongHeader)
{
    const TagCase &c = GetParam();
    const QByteArray body(c.bodySize, 'z');
    EXPECT_EQ(SwfWriter::tagRecord(c.code, body, c.forceLong), hex(c.header) + body);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, TagRecordTest,
    ::testing::Values(TagCase{"End", 0, 0, false, "0000"}, TagCase{"ShowFrame", 1, 0, false, "4000"},
                      TagCase{"Background", 9, 3, false, "4302"},
                      TagCase{"LongestShort", 2, 62, false, "be00"},
                      TagCase{"ShortestLong", 2, 63, false, "bf003f000000"},
                      TagCase{"ForcedLong", 9, 3, true, "7f0203000000"},
                      TagCase{"HighestCode", 1023, 1, false, "c1ff"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SwfWriterTest, WritesWholePlainMovie)
{
    SwfWriter w;
    w.setVersion(10).setFrameSize({0, 11000, 0, 8000}).setFrameRate(12.0);
    w.setBackgroundColor(0xFF, 0x80, 0).frameLabel("go", true).showFrame().end();
    EXPECT_EQ(w.bytes().toHex(), "465753" "0a" "24000000" "7800055f00000fa000" "000c" "0100"
                                 "4302ff8000" "c40a676f0001" "4000" "0000");
    EXPECT_THROW(SwfWriter::tagRecord(1024, {}), std::invalid_argument);
}

TEST(SwfWriterTest, RateCountSignatureAndVersionAsAsked)
{
    SwfWriter w;
    w.setFrameRate(23.976).showFrame().showFrame().addTag(2, QByteArray(3, 'a'));
    const QByteArray body = w.body();
    // 9-byte rectangle, then the 8.8 rate (6138 = 0x17FA) fraction first.
    EXPECT_EQ(body.mid(9, 4).toHex(), "fa17" "0200");
    w.setFrameCount(0x1234);
    EXPECT_EQ(w.body().mid(11, 2).toHex(), "3412");

    w.setSignature("fws").setVersion(200).setFileLength(7);
    EXPECT_EQ(w.bytes(Compression::Zlib).left(8).toHex(), "667773" "c8" "07000000");
    EXPECT_THROW(w.setSignature("FW"), std::invalid_argument);
}

QByteArray inflateAll(const QByteArray &data)
{
    QByteArray out(1 << 16, '\0');
    uLongf size = out.size();
    if (uncompress(reinterpret_cast<Bytef *>(out.data()), &size,
                   reinterpret_cast<const Bytef *>(data.constData()), uLong(data.size()))
        != Z_OK)
        return "inflate failed";
    return out.left(qsizetype(size));
}

// Rebuilds the .lzma container around the movie's properties, so the
// decoder used is not the one the reader uses.
QByteArray unlzmaAll(const QByteArray &propsAndData)
{
    const QByteArray alone = propsAndData.left(5) + QByteArray(8, '\xFF') + propsAndData.mid(5);
    lzma_stream s = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&s, UINT64_MAX) != LZMA_OK)
        return "decoder failed";
    QByteArray out(1 << 16, '\0');
    s.next_in = reinterpret_cast<const uint8_t *>(alone.constData());
    s.avail_in = size_t(alone.size());
    s.next_out = reinterpret_cast<uint8_t *>(out.data());
    s.avail_out = size_t(out.size());
    const lzma_ret rc = lzma_code(&s, LZMA_FINISH);
    const size_t produced = size_t(out.size()) - s.avail_out;
    lzma_end(&s);
    return rc == LZMA_STREAM_END ? out.left(qsizetype(produced)) : QByteArray("lzma failed");
}

TEST(SwfWriterTest, CompressedMoviesUnpackToThePlainBody)
{
    SwfWriter w;
    w.setFrameSize({-40, 12345, 7, 999}).setFrameRate(25.5);
    w.setBackgroundColor(9, 8, 7).addTag(2, QByteArray(300, 'q'), true).showFrame().end();
    const QByteArray plain = w.bytes(Compression::None);
    const QByteArray body = plain.mid(8);
    EXPECT_EQ(qFromLittleEndian<quint32>(plain.constData() + 4), uint32_t(plain.size()));

    const QByteArray zlib = w.bytes(Compression::Zlib);
    EXPECT_EQ(zlib.left(3), "CWS");
    EXPECT_EQ(zlib.mid(3, 5), plain.mid(3, 5));
    EXPECT_EQ(inflateAll(zlib.mid(8)), body);

    const QByteArray lzma = w.bytes(Compression::Lzma);
    EXPECT_EQ(lzma.left(3), "ZWS");
    EXPECT_EQ(lzma.mid(3, 5), plain.mid(3, 5));
    EXPECT_EQ(qFromLittleEndian<quint32>(lzma.constData() + 8), uint32_t(lzma.size() - 17));
    EXPECT_EQ(unlzmaAll(lzma.mid(12)), body);
}

TEST(SwfWriterTest, SavesWhatItWouldReturn)
{
    QTemporaryDir dir;
    SwfWriter w;
    w.showFrame().end();
    const QString path = dir.filePath("m.swf");
    ASSERT_TRUE(w.save(path, Compression::Lzma));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), w.bytes(Compression::Lzma));
    EXPECT_FALSE(w.save(dir.filePath("no/such/folder/m.swf")));
}

} // namespace
