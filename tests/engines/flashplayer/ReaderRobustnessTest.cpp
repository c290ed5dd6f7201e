// Damaged, cut and hostile movies: nothing may crash, hang or grow without
// bound, and what is whole is kept.

#include "ReaderTestSupport.h"

#include "fuzz/SeedMovies.h"

#include <QElapsedTimer>

#include <random>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

using namespace swftest;

struct TagSpan {
    uint16_t code;
    qsizetype end; // offset just past the tag
};

// The top-level tags of an uncompressed movie, found independently of the
// reader.
std::vector<TagSpan> tagSpans(const QByteArray &movie)
{
    const auto *p = reinterpret_cast<const uint8_t *>(movie.constData());
    const int rectBits = p[8] >> 3;
    qsizetype at = 8 + (5 + 4 * rectBits + 7) / 8 + 4;
    std::vector<TagSpan> spans;
    while (at + 2 <= movie.size()) {
        const uint16_t header = uint16_t(p[at] | p[at + 1] << 8);
        qsizetype length = header & 0x3F;
        qsizetype body = at + 2;
        if (length == 0x3F) {
            length = qsizetype(p[at + 2] | p[at + 3] << 8 | p[at + 4] << 16 | uint32_t(p[at + 5]) << 24);
            body += 4;
        }
        spans.push_back(TagSpan{uint16_t(header >> 6), body + length});
        at = body + length;
    }
    return spans;
}

bool defines(uint16_t code)
{
    static const std::set<uint16_t> codes = {2, 6, 7, 10, 11, 20, 21, 22, 32, 33, 34, 35, 36, 37, 39, 46, 48, 75, 83, 84};
    return codes.contains(code);
}

TEST(CutMovies, EveryCutKeepsTheCompleteTagsBeforeIt)
{
    const QByteArray full = swfseed::richMovie();
    const swf::Movie whole = swf::readMovie(full);
    ASSERT_TRUE(whole.ok());
    ASSERT_TRUE(whole.warnings.empty()) << warningText(whole).toStdString();
    const std::vector<TagSpan> spans = tagSpans(full);
    for (qsizetype cut = 0; cut <= full.size(); ++cut) {
        const swf::Movie movie = swf::readMovie(full.left(cut));
        size_t definitions = 0;
        size_t frames = 0;
        for (const TagSpan &span : spans) {
            if (span.end > cut)
                break;
            definitions += defines(span.code) ? 1 : 0;
            frames += span.code == 1 ? 1 : 0;
        }
        if (cut < 8 + 9 + 4) {
            EXPECT_FALSE(movie.ok()) << "cut at " << cut;
            continue;
        }
        ASSERT_TRUE(movie.ok()) << "cut at " << cut;
        EXPECT_EQ(movie.characters.size(), definitions) << "cut at " << cut;
        EXPECT_GE(movie.frames.size(), frames) << "cut at " << cut;
        EXPECT_LE(movie.frames.size(), frames + 1) << "cut at " << cut;
    }
}

TEST(CutMovies, CompressedCutsNeverCrash)
{
    const std::vector<QByteArray> seeds = swfseed::seedMovies();
    for (const QByteArray &seed : seeds) {
        if (seed.startsWith("FWS"))
            continue;
        for (qsizetype cut = 0; cut <= seed.size(); cut += 3) {
            const swf::Movie movie = swf::readMovie(seed.left(cut));
            if (movie.ok()) {
                EXPECT_LE(movie.frames.size(), 3u);
            }
        }
    }
}

TEST(DamagedMovies, RandomByteFlipsNeverCrash)
{
    const QByteArray full = swfseed::richMovie();
    std::mt19937 random(20240611);
    for (int round = 0; round < 1500; ++round) {
        QByteArray copy = full;
        const int flips = 1 + int(random() % 8);
        for (int i = 0; i < flips; ++i) {
            const qsizetype at = qsizetype(8 + random() % uint32_t(copy.size() - 8));
            copy[at] = char(uint8_t(copy[at]) ^ uint8_t(1u << (random() % 8)));
        }
        const swf::Movie movie = swf::readMovie(copy);
        ASSERT_TRUE(movie.ok());
        ASSERT_LE(movie.warnings.size(), swf::limits::kMaxWarnings);
    }
}

TEST(Limits, ShapeRecordsAndTheModelAreCapped)
{
    swf::ReadLimits limits;
    limits.maxShapeRecords = 10'000;
    limits.maxModelBytes = 2 << 20;
    // Style changes of six bits each, four to three bytes.
    const QByteArray records = QByteArray::fromHex("082082").repeated(3'000) + QByteArray(1, '\0');
    SwfWriter w;
    for (uint16_t id = 1; id <= 10; ++id) {
        TagBody body;
        body.ui16(id).rect({0, 10, 0, 10}).ui8(0).ui8(0).ui8(0).raw(records);
        w.addTag(SwfTag::DefineShape, body);
    }
    w.showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes(), limits);
    ASSERT_TRUE(movie.ok());
    EXPECT_TRUE(hasWarning(movie, QStringLiteral("more than 10000 records"))) << warningText(movie).toStdString();
    EXPECT_TRUE(hasWarning(movie, QStringLiteral("larger than the reader takes in")));
    size_t kept = 0;
    for (const auto &[id, character] : movie.characters)
        kept += std::get<swf::Shape>(character).data.records.size();
    EXPECT_LE(kept * sizeof(swf::ShapeRecord), limits.maxModelBytes);
    EXPECT_GT(kept * sizeof(swf::ShapeRecord), limits.maxModelBytes / 2);
    ASSERT_NE(movie.character<swf::Shape>(1), nullptr);
    EXPECT_EQ(movie.character<swf::Shape>(1)->data.records.size(), limits.maxShapeRecords);
    EXPECT_TRUE(movie.frames.empty()) << "reading stops at the limit";
}

TEST(Limits, TheModelLimitHoldsInsideSprites)
{
    swf::ReadLimits limits;
    limits.maxModelBytes = 256 << 10;
    SwfWriter inner;
    for (int i = 0; i < 20'000; ++i)
        inner.removeObject2(1).showFrame();
    inner.end();
    SwfWriter w;
    w.defineSprite(1, inner).defineSprite(2, inner).showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes(), limits);
    size_t exhausted = 0;
    for (const auto &warning : movie.warnings)
        exhausted += warning.message.contains(QStringLiteral("larger than the reader")) ? 1 : 0;
    EXPECT_EQ(exhausted, 1u) << warningText(movie).toStdString();
    EXPECT_EQ(movie.character<swf::Sprite>(2), nullptr);
}

TEST(Limits, GlyphEntriesWithoutBitsAreCapped)
{
    swf::ReadLimits limits;
    limits.maxTextGlyphs = 20'000;
    // Zero-bit glyph entries cost no input; 255 of them per two bytes.
    TagBody body;
    body.ui16(1).rect({0, 1, 0, 1}).matrix(SwfMatrix{}).ui8(0).ui8(0);
    body.raw(QByteArray::fromHex("80ff").repeated(500)).ui8(0);
    SwfWriter w;
    w.addTag(SwfTag::DefineText, body).showFrame().end();
    const swf::Movie movie = swf::readMovie(w.bytes(), limits);
    const auto *text = movie.character<swf::Text>(1);
    ASSERT_NE(text, nullptr);
    size_t glyphs = 0;
    for (const auto &record : text->records)
        glyphs += record.glyphs.size();
    EXPECT_LE(glyphs, limits.maxTextGlyphs);
    EXPECT_GT(glyphs, limits.maxTextGlyphs - 255);
    EXPECT_EQ(movie.frames.size(), 1u);
}

TEST(Limits, TagLengthsBeyondTheDataAreNotTrusted)
{
    SwfWriter w;
    w.showFrame();
    QByteArray bytes = w.bytes();
    bytes += SwfWriter::tagRecord(SwfTag::DefineShape, QByteArray(10, '\0'), true).left(6); // claims 10 bytes
    bytes[bytes.size() - 4] = char(0xFF);
    bytes[bytes.size() - 1] = char(0x7F); // 2 GiB
    const swf::Movie movie = swf::readMovie(bytes);
    EXPECT_EQ(movie.frames.size(), 1u);
    EXPECT_TRUE(hasWarning(movie, QStringLiteral("cut off")));
}

// The fuzz entry over the seeds with random mutations: a fixed seed, so a
// failure repeats; bounded in time for slow sanitizer builds.
TEST(FuzzReplay, MutatedSeedsThroughEveryConversion)
{
    const std::vector<QByteArray> seeds = swfseed::seedMovies();
    std::mt19937 random(77);
    QElapsedTimer clock;
    clock.start();
    int inputs = 0;
    for (const QByteArray &seed : seeds)
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(seed.constData()), size_t(seed.size()));
    for (; inputs < 4000 && clock.elapsed() < 10'000; ++inputs) {
        QByteArray input = seeds[random() % seeds.size()];
        const int edits = 1 + int(random() % 6);
        for (int e = 0; e < edits && input.size() > 9; ++e) {
            const qsizetype at = qsizetype(random() % uint32_t(input.size()));
            switch (random() % 5) {
            case 0:
                input[at] = char(random());
                break;
            case 1:
                input[at] = char(uint8_t(input[at]) ^ uint8_t(1u << (random() % 8)));
                break;
            case 2:
                input.truncate(std::max<qsizetype>(at, 9));
                break;
            case 3:
                input.insert(at, QByteArray(1 + int(random() % 8), char(random())));
                break;
            default:
                input.remove(at, 1 + qsizetype(random() % 8));
                break;
            }
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
    }
    EXPECT_GT(inputs, 200);
}

} // namespace
