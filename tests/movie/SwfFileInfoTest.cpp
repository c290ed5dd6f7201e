#include "movie/SwfFileInfo.h"
#include "engines/flashplayer/SwfWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

// The record is packed and gtest takes its arguments by reference, so the
// 32-bit fields are compared as copies (+h.Field).

namespace {

using Compression = SwfWriter::Compression;
constexpr Compression kAllCompressions[] = {Compression::None, Compression::Zlib, Compression::Lzma};

// Values no read would produce, to show which fields a failed read left alone.
TSwfHeader sentinelHeader()
{
    TSwfHeader h;
    std::memset(&h, 0xA5, sizeof h);
    return h;
}

bool tailUntouched(const TSwfHeader &h)
{
    const TSwfHeader sentinel = sentinelHeader();
    return std::memcmp(reinterpret_cast<const char *>(&h) + 8,
                       reinterpret_cast<const char *>(&sentinel) + 8, sizeof h - 8) == 0;
}

// A pseudo-random byte run, so compressed data cannot shrink much.
QByteArray noise(int size, uint32_t seed)
{
    QByteArray out;
    for (int i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        out.append(char(seed >> 24));
    }
    return out;
}

// A movie whose body is long and hard to compress.
SwfWriter noisyMovie()
{
    SwfWriter w;
    w.setFrameSize({123456, 654321, 222222, 777777}).addTag(2, noise(400, 7)).showFrame().end();
    return w;
}

// How many bytes an independent zlib inflate gets out of data, and whether
// the stream ended.
std::pair<size_t, bool> inflatedLength(const QByteArray &data)
{
    z_stream zs{};
    inflateInit(&zs);
    QByteArray out(4096, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    const int rc = inflate(&zs, Z_SYNC_FLUSH);
    const size_t produced = out.size() - zs.avail_out;
    inflateEnd(&zs);
    return {produced, rc == Z_STREAM_END};
}

class SwfFileInfoTest : public ::testing::Test {
protected:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(SwfFileInfoTest, ReadsHandMadePlainMovie)
{
    // 550 x 400 pixels, n = 15, 12 fps, one frame: the header as authoring
    // tools write it.
    const QByteArray movie = QByteArray("FWS\x0A\x19\x00\x00\x00", 8)
                             + QByteArray("\x78\x00\x05\x5F\x00\x00\x0F\xA0\x00", 9)
                             + QByteArray("\x00\x0C\x01\x00", 4) + QByteArray("\x40\x00\x00\x00", 4);
    TSwfHeader h = sentinelHeader();
    ASSERT_TRUE(ReadSwfHeader(write("stage.swf", movie), h));
    EXPECT_EQ(std::string(h.Signature, 3), "FWS");
    EXPECT_EQ(h.Version, 10);
    EXPECT_EQ(+h.FileLength, 25u);
    EXPECT_EQ(+h.Xmin, 0u);
    EXPECT_EQ(+h.Xmax, 11000u);
    EXPECT_EQ(+h.Ymin, 0u);
    EXPECT_EQ(+h.Ymax, 8000u);
    EXPECT_EQ(h.FrameRate, 12);
    EXPECT_EQ(h.FrameRateFraction, 0);
    EXPECT_EQ(+h.FrameCount, 1u);
}

struct StageCase {
    const char *name;
    SwfRect rect;
    std::optional<unsigned> bits;
    uint32_t xmin, xmax, ymin, ymax; // as unsigned n-bit values
};

class StageSizeTest : public SwfFileInfoTest, public ::testing::WithParamInterface<StageCase> {};

TEST_P(StageSizeTest, EveryCompressionGivesTheSameRecord)
{
    const StageCase &c = GetParam();
    SwfWriter w;
    w.setVersion(14).setFrameSize(c.rect, c.bits).setFrameRate(29, 0x40).setFrameCount(0xBEEF);
    w.setBackgroundColor(1, 2, 3).frameLabel("the first frame").showFrame().end();
    const uint32_t length = uint32_t(8 + w.body().size());

    TSwfHeader records[3];
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        records[i] = sentinelHeader();
        ASSERT_TRUE(ReadSwfHeader(write(QString("m%1.swf").arg(i), w.bytes(kAllCompressions[i])), records[i]));
        const TSwfHeader &h = records[i];
        EXPECT_EQ(std::string(h.Signature, 3), std::string("FWSCWSZWS").substr(3 * i, 3));
        EXPECT_EQ(h.Version, 14);
        EXPECT_EQ(+h.FileLength, length);
        EXPECT_EQ(+h.Xmin, c.xmin);
        EXPECT_EQ(+h.Xmax, c.xmax);
        EXPECT_EQ(+h.Ymin, c.ymin);
        EXPECT_EQ(+h.Ymax, c.ymax);
        EXPECT_EQ(h.FrameRate, 29);
        EXPECT_EQ(h.FrameRateFraction, 0x40);
        EXPECT_EQ(+h.FrameCount, 0xBEEFu);
    }
    EXPECT_EQ(std::memcmp(&records[0].Version, &records[1].Version, sizeof(TSwfHeader) - 3), 0);
    EXPECT_EQ(std::memcmp(&records[0].Version, &records[2].Version, sizeof(TSwfHeader) - 3), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, StageSizeTest,
    ::testing::Values(StageCase{"Empty", {0, 0, 0, 0}, {}, 0, 0, 0, 0},
                      StageCase{"EmptyWide", {0, 0, 0, 0}, 31u, 0, 0, 0, 0},
                      StageCase{"OneTwip", {0, 1, 0, 1}, {}, 0, 1, 0, 1},
                      StageCase{"Typical", {0, 11000, 0, 8000}, 15u, 0, 11000, 0, 8000},
                      StageCase{"Offset", {20, 300, 40, 1000}, {}, 20, 300, 40, 1000},
                      StageCase{"Largest", {0x3FFFFFFF, 0x3FFFFFFF, 0, 0x3FFFFFFF}, {},
                                0x3FFFFFFF, 0x3FFFFFFF, 0, 0x3FFFFFFF},
                      // All ones in 31 bits: the reader takes fields unsigned.
                      StageCase{"AllOnes", {-1, -1, -1, -1}, 31u, 0x7FFFFFFF, 0x7FFFFFFF,
                                0x7FFFFFFF, 0x7FFFFFFF},
                      StageCase{"NegativeOrigin", {-20, 100, -1, 100}, 8u, 256 - 20, 100, 255, 100}),
    [](const auto &info) { return std::string(info.param.name); });

struct SignatureCase {
    const char *signature;
    uint8_t version;
    Compression compression;
    bool readable;
};

class SignatureTest : public SwfFileInfoTest, public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(SignatureTest, OnlyKnownSignaturesAndVersionsAreRead)
{
    const SignatureCase &c = GetParam();
    SwfWriter w;
    w.setSignature(c.signature).setVersion(c.version).setFrameCount(7);
    w.frameLabel("opening scene").showFrame().end();
    TSwfHeader h = sentinelHeader();
    EXPECT_EQ(ReadSwfHeader(write("m.swf", w.bytes(c.compression)), h), c.readable);
    // The leading bytes are always taken in; the rest only from a movie.
    EXPECT_EQ(std::string(h.Signature, 3), c.signature);
    EXPECT_EQ(h.Version, c.version);
    if (c.readable)
        EXPECT_EQ(+h.FrameCount, 7u);
    else
        EXPECT_TRUE(tailUntouched(h));
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, SignatureTest,
    ::testing::Values(SignatureCase{"FWS", 1, Compression::None, true},
                      SignatureCase{"CWS", 6, Compression::Zlib, true},
                      SignatureCase{"CWS", 5, Compression::Zlib, false},
                      SignatureCase{"CWS", 0, Compression::Zlib, false},
                      SignatureCase{"ZWS", 13, Compression::Lzma, true},
                      SignatureCase{"ZWS", 1, Compression::Lzma, true},
                      SignatureCase{"fws", 10, Compression::None, false},
                      SignatureCase{"cws", 10, Compression::Zlib, false},
                      SignatureCase{"zws", 13, Compression::Lzma, false},
                      SignatureCase{"FWs", 10, Compression::None, false},
                      SignatureCase{"GIF", 10, Compression::None, false}),
    [](const auto &info) {
        return std::string(info.param.signature) + "v" + std::to_string(info.param.version);
    });

TEST_F(SwfFileInfoTest, FileLengthIsTakenAsStored)
{
    for (Compression c : kAllCompressions) {
        SwfWriter w;
        w.setFileLength(0xDEADBEEF).showFrame().end().addTag(2, QByteArray(40, 'x'));
        TSwfHeader h = sentinelHeader();
        ASSERT_TRUE(ReadSwfHeader(write("m.swf", w.bytes(c)), h));
        EXPECT_EQ(+h.FileLength, 0xDEADBEEFu);
    }
}

TEST_F(SwfFileInfoTest, FilesOfTwentyTwoBytesOrLessAreNotMovies)
{
    // n = 12 leaves a 7-byte rectangle: 8 + 7 + 4 + ShowFrame + End = 23.
    const QByteArray full = SwfWriter().setFrameSize({0, 2000, 0, 1500}).showFrame().end().bytes();
    ASSERT_EQ(full.size(), 23);
    for (int size : {0, 7, 8, 22}) {
        SCOPED_TRACE(size);
        TSwfHeader h = sentinelHeader();
        EXPECT_FALSE(ReadSwfHeader(write("short.swf", full.left(size)), h));
        EXPECT_TRUE(tailUntouched(h));
    }
    TSwfHeader h = sentinelHeader();
    ASSERT_TRUE(ReadSwfHeader(write("exact.swf", full), h));
    EXPECT_EQ(+h.Xmax, 2000u);
    EXPECT_EQ(+h.Ymax, 1500u);
    EXPECT_EQ(+h.FrameCount, 1u);
}

TEST_F(SwfFileInfoTest, ShortPlainFileReadsMissingBytesAsZero)
{
    // n = 31 needs 21 body bytes; a 23-byte file holds only 15 of them.
    const uint32_t ymax = 0x2ABCDEF1;
    const QByteArray full = SwfWriter()
                                .setFrameSize({0x1234567, 0x3FFFFFFF, 5, int32_t(ymax)}, 31)
                                .setFrameRate(30, 1)
                                .setFrameCount(9)
                                .bytes();
    TSwfHeader h = sentinelHeader();
    ASSERT_TRUE(ReadSwfHeader(write("cut.swf", full.left(23)), h));
    EXPECT_EQ(+h.Xmin, 0x1234567u);
    EXPECT_EQ(+h.Xmax, 0x3FFFFFFFu);
    EXPECT_EQ(+h.Ymin, 5u);
    // Ymax spans body bits 98..128; bits from 120 on are gone.
    EXPECT_EQ(+h.Ymax, ymax >> 9 << 9);
    EXPECT_EQ(h.FrameRate, 0);
    EXPECT_EQ(h.FrameRateFraction, 0);
    EXPECT_EQ(+h.FrameCount, 0u);
}

TEST_F(SwfFileInfoTest, MissingFilesAndFoldersAreNotMovies)
{
    TSwfHeader h = sentinelHeader();
    EXPECT_FALSE(ReadSwfHeader(dir.filePath("absent.swf"), h));
    EXPECT_FALSE(ReadSwfHeader(QString(), h));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.swf"));
    EXPECT_FALSE(ReadSwfHeader(dir.filePath("folder.swf"), h));
    // Opening a pipe nobody writes to would block for good.
    const QByteArray pipe = QFile::encodeName(dir.filePath("pipe.swf"));
    ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
    EXPECT_FALSE(ReadSwfHeader(dir.filePath("pipe.swf"), h));
    const TSwfHeader sentinel = sentinelHeader();
    EXPECT_EQ(std::memcmp(&h, &sentinel, sizeof h), 0);
}

TEST_F(SwfFileInfoTest, OnlyTheStartOfACompressedMovieIsNeeded)
{
    // The first 25 body bytes are intact; what follows is cut or spoiled.
    SwfWriter w = noisyMovie();
    TSwfHeader expected = sentinelHeader();
    ASSERT_TRUE(ReadSwfHeader(write("plain.swf", w.bytes()), expected));
    const QByteArray zlib = w.bytes(Compression::Zlib);
    const QByteArray lzma = w.bytes(Compression::Lzma);
    QByteArray spoiledTail = zlib;
    for (qsizetype i = zlib.size() - 40; i < zlib.size(); ++i)
        spoiledTail[i] = char(~spoiledTail[i]);

    for (const QByteArray &movie : {zlib.left(zlib.size() / 2), spoiledTail, lzma.left(lzma.size() / 2)}) {
        TSwfHeader h = sentinelHeader();
        ASSERT_TRUE(ReadSwfHeader(write("m.swf", movie), h));
        EXPECT_EQ(std::memcmp(&h.Version, &expected.Version, sizeof h - 3), 0);
    }
}

TEST_F(SwfFileInfoTest, TinyCompleteStreamsAreRead)
{
    // The whole body is 5 bytes (n = 0): shorter than 25, but every field is
    // there, as it would be in the same movie uncompressed.
    const QByteArray body("\x00\x80\x18\x02\x00", 5);
    const QByteArray lead = QByteArray("CWS\x0A\x0D\x00\x00\x00", 8);
    QByteArray stored(compressBound(5), '\0');
    uLongf size = stored.size();
    ASSERT_EQ(compress2(reinterpret_cast<Bytef *>(stored.data()), &size,
                        reinterpret_cast<const Bytef *>(body.data()), 5, 0),
              Z_OK);
    const QByteArray packed = SwfWriter::lzmaCompress(body);
    const QByteArray zlibMovie = lead + stored.left(size);
    const QByteArray lzmaMovie = QByteArray("ZWS\x0D\x0D\x00\x00\x00", 8)
                                 + QByteArray::fromRawData("\x00\x00\x00\x00", 4) + packed;

    for (const QByteArray &movie : {zlibMovie, lzmaMovie}) {
        ASSERT_GT(movie.size(), 22);
        TSwfHeader h = sentinelHeader();
        ASSERT_TRUE(ReadSwfHeader(write("tiny.swf", movie), h));
        EXPECT_EQ(+h.Xmax, 0u);
        EXPECT_EQ(h.FrameRateFraction, 0x80);
        EXPECT_EQ(h.FrameRate, 0x18);
        EXPECT_EQ(+h.FrameCount, 2u);
    }
}

// Caps this process's address space at what it uses now plus extra bytes.
void limitAddressSpaceGrowth(rlim_t extra)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        std::exit(2);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:")) {
            const rlim_t used = line.mid(7).trimmed().split(' ').first().toULongLong() * 1024;
            const rlimit limit{used + extra, used + extra};
            if (setrlimit(RLIMIT_AS, &limit) != 0)
                std::exit(2);
            return;
        }
    }
    std::exit(2);
}

TEST_F(SwfFileInfoTest, HugeLzmaDictionaryClaimIsHarmless)
{
    QByteArray movie = SwfWriter().showFrame().end().bytes(Compression::Lzma);
    movie.replace(13, 4, QByteArray("\xFF\xFF\xFF\xFF", 4)); // a 4 GiB window
    const QString path = write("dict.swf", movie);
    // With 1 GiB to spare, reserving the claimed window would fail.
    EXPECT_EXIT(
        {
            limitAddressSpaceGrowth(rlim_t(1) << 30);
            TSwfHeader h = sentinelHeader();
            const bool read = ReadSwfHeader(path, h);
            std::exit(read && h.Xmax == 11000 && h.FrameCount == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

struct DamageCase {
    const char *name;
    QByteArray (*make)();
};

QByteArray storedBody(const QByteArray &body)
{
    QByteArray out(compressBound(uLong(body.size())), '\0');
    uLongf size = out.size();
    compress2(reinterpret_cast<Bytef *>(out.data()), &size,
              reinterpret_cast<const Bytef *>(body.data()), uLong(body.size()), 0);
    return out.left(size);
}

class DamageTest : public SwfFileInfoTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamageTest, ThrowsNamingTheFile)
{
    const QString path = write("broken movie.swf", GetParam().make());
    TSwfHeader h = sentinelHeader();
    try {
        ReadSwfHeader(path, h);
        FAIL() << "no error";
    } catch (const SwfHeaderError &e) {
        EXPECT_NE(std::string(e.what()).find("\"broken movie.swf\""), std::string::npos) << e.what();
    }
    EXPECT_TRUE(tailUntouched(h));
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamageTest,
    ::testing::Values(
        DamageCase{"ZlibCutShort",
                   [] {
                       const QByteArray m = noisyMovie().bytes(Compression::Zlib).left(30);
                       // Make sure the cut really leaves too little to inflate.
                       const auto [produced, ended] = inflatedLength(m.mid(8));
                       EXPECT_LT(produced, 25u);
                       EXPECT_FALSE(ended);
                       return m;
                   }},
        DamageCase{"ZlibBadHeader",
                   [] { return noisyMovie().bytes(Compression::Zlib).replace(8, 2, QByteArray(2, '\0')); }},
        DamageCase{"ZlibReservedBlockType",
                   [] {
                       QByteArray m = noisyMovie().bytes(Compression::Zlib);
                       m[10] = char(m[10] | 0x06);
                       return m;
                   }},
        DamageCase{"ZlibGarbage", [] { return QByteArray("CWS\x0A", 4) + QByteArray(60, '\xFF'); }},
        DamageCase{"ZlibEndsBeforeFields",
                   [] { return QByteArray("CWS\x0A\x0B\x00\x00\x00", 8) + storedBody(QByteArray("\xF8\x00\x00\x00", 4)); }},
        DamageCase{"LzmaCutShort", [] { return noisyMovie().bytes(Compression::Lzma).left(23); }},
        DamageCase{"LzmaBadProperties",
                   [] {
                       QByteArray m = noisyMovie().bytes(Compression::Lzma);
                       m[12] = char(225); // lc/lp/pb byte out of range
                       return m;
                   }},
        DamageCase{"LzmaBadFirstByte",
                   [] {
                       QByteArray m = noisyMovie().bytes(Compression::Lzma);
                       m[17] = char(0xFF); // the range coder always starts with zero
                       return m;
                   }},
        DamageCase{"LzmaEndsBeforeFields",
                   [] {
                       return QByteArray("ZWS\x0D\x0B\x00\x00\x00", 8) + QByteArray(4, '\0')
                              + SwfWriter::lzmaCompress(QByteArray("\xF8\x00\x00\x00", 4));
                   }}),
    [](const auto &info) { return std::string(info.param.name); });

struct BitsCase {
    size_t position;
    unsigned count;
    uint32_t expected;
};

class ReadBitsTest : public ::testing::TestWithParam<BitsCase> {};

TEST_P(ReadBitsTest, ReadsMostSignificantBitFirst)
{
    // 1011 0101  0011 1100  1111 1111  0000 0000  1000 0001  0111 1110
    static const uint8_t data[] = {0xB5, 0x3C, 0xFF, 0x00, 0x81, 0x7E};
    const BitsCase &c = GetParam();
    EXPECT_EQ(ReadBits(data, c.position, c.count), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ReadBitsTest,
                         ::testing::Values(BitsCase{0, 0, 0}, BitsCase{13, 0, 0}, BitsCase{0, 1, 1},
                                           BitsCase{1, 1, 0}, BitsCase{0, 5, 22}, BitsCase{5, 3, 5},
                                           BitsCase{6, 4, 4}, BitsCase{3, 10, 0x2A7}, BitsCase{8, 8, 0x3C},
                                           BitsCase{12, 4, 0xC}, BitsCase{17, 15, 0x7F00},
                                           BitsCase{33, 14, 0xBF}, BitsCase{0, 32, 0xB53CFF00},
                                           BitsCase{4, 32, 0x53CFF008}, BitsCase{16, 32, 0xFF00817E}));

} // namespace
