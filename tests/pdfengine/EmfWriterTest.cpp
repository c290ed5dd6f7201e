#include "pdfengine/EmfWriter.h"

#include <gtest/gtest.h>

#include "EmfParse.h"

using namespace emftest;

namespace {

// A4 in points, with its frame in hundredths of a millimetre.
const QSize kPage(595, 842);
const QSize kFrame(20990, 29704);

std::vector<Record> records(const QByteArray &bytes)
{
    std::vector<Record> out;
    std::string why;
    EXPECT_TRUE(split(bytes, out, &why)) << why;
    return out;
}

TEST(EmfWriter, HeaderDescribesTheWholeMetafile)
{
    TEmfWriter w(kPage, kFrame);
    w.SetBkMode(emf::TRANSPARENT);
    w.ExtTextOutW(QPoint(10, 20), QStringLiteral("abc"), {}, QRect(5, 20, 30, 12));
    w.ExtTextOutW(QPoint(100, 200), QStringLiteral("d"), {}, QRect(100, 190, 8, 14));
    const QByteArray b = w.Bytes();

    ASSERT_GE(b.size(), 108);
    EXPECT_EQ(u32(b, 0), 1u);                      // EMR_HEADER
    EXPECT_EQ(u32(b, 4), 108u);                    // header with both extensions
    EXPECT_EQ(u32(b, 40), 0x464D4520u);            // " EMF"
    EXPECT_EQ(u32(b, 44), 0x00010000u);
    EXPECT_EQ(u32(b, 48), uint32_t(b.size()));     // total size
    EXPECT_EQ(u32(b, 52), 5u);                     // header, 3 records, EOF
    EXPECT_EQ(u32(b, 56) & 0xFFFF, 1u);            // handle table: only the reserved slot
    // Bounds: union of the two outputs, inclusive.
    EXPECT_EQ(i32(b, 8), 5);
    EXPECT_EQ(i32(b, 12), 20);
    EXPECT_EQ(i32(b, 16), 107);
    EXPECT_EQ(i32(b, 20), 203);
    // Frame in hundredths of a millimetre, inclusive.
    EXPECT_EQ(i32(b, 24), 0);
    EXPECT_EQ(i32(b, 28), 0);
    EXPECT_EQ(i32(b, 32), kFrame.width() - 1);
    EXPECT_EQ(i32(b, 36), kFrame.height() - 1);
    // Device in points, millimetres and micrometres of the same page.
    EXPECT_EQ(i32(b, 72), 595);
    EXPECT_EQ(i32(b, 76), 842);
    EXPECT_EQ(i32(b, 80), 210);
    EXPECT_EQ(i32(b, 84), 297);
    EXPECT_EQ(i32(b, 100), 209900);
    EXPECT_EQ(i32(b, 104), 297040);

    // What a reader trusts before reading any further.
    EXPECT_EQ(emf::DeclaredSize(b.constData(), b.size()), uint32_t(b.size()));
    EXPECT_EQ(emf::DeclaredSize(b.constData(), b.size() - 1), 0u);
    QByteArray unsigned_ = b;
    unsigned_[40] = 'X';
    EXPECT_EQ(emf::DeclaredSize(unsigned_.constData(), unsigned_.size()), 0u);

    auto r = records(b);
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r.back().type, uint32_t(emf::EMR_EOF));
    EXPECT_EQ(r.back().bytes.size(), 20);
    EXPECT_EQ(u32(r.back().bytes, 16), 20u); // SizeLast
}

TEST(EmfWriter, EmptyMetafileHasNoBoundsAndStaysValid)
{
    TEmfWriter w(kPage, kFrame);
    const QByteArray b = w.Bytes();
    EXPECT_EQ(b.size(), 108 + 20);
    EXPECT_EQ(i32(b, 8), 0);
    EXPECT_EQ(i32(b, 16), -1); // right < left: nothing drawn
    EXPECT_EQ(records(b).size(), 2u);
    // Asking twice gives the same bytes; recording goes on afterwards.
    EXPECT_EQ(w.Bytes(), b);
    w.SetTextAlign(6);
    EXPECT_EQ(records(w.Bytes()).size(), 3u);
}

TEST(EmfWriter, FontRecordCarriesTheLogFont)
{
    TEmfWriter w(kPage, kFrame);
    emf::LogFontW lf;
    lf.height = -12;
    lf.weight = 700;
    lf.italic = 1;
    lf.underline = 1;
    lf.strikeOut = 1;
    lf.pitchAndFamily = emf::FIXED_PITCH;
    lf.faceName = QStringLiteral("Liberation Sans Ärger");
    const uint32_t index = w.CreateFont(lf);
    lf.faceName = QString(40, QLatin1Char('x'));
    const uint32_t second = w.CreateFont(lf);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(second, 2u);

    auto r = records(w.Bytes());
    ASSERT_EQ(r.size(), 4u);
    ASSERT_EQ(r[1].type, uint32_t(emf::EMR_EXTCREATEFONTINDIRECTW));
    EXPECT_EQ(r[1].bytes.size(), 104);
    Font f = font(r[1]);
    EXPECT_EQ(f.index, 1u);
    EXPECT_EQ(f.height, -12);
    EXPECT_EQ(f.weight, 700);
    EXPECT_EQ(f.italic, 1);
    EXPECT_EQ(f.underline, 1);
    EXPECT_EQ(f.strikeOut, 1);
    EXPECT_EQ(f.charSet, emf::DEFAULT_CHARSET);
    EXPECT_EQ(f.pitch, emf::FIXED_PITCH);
    EXPECT_EQ(f.face, QStringLiteral("Liberation Sans Ärger"));
    // A long face keeps 31 units and its terminating zero.
    Font g = font(r[2]);
    EXPECT_EQ(g.face, QString(31, QLatin1Char('x')));
    EXPECT_EQ(u32(w.Bytes(), 56) & 0xFFFF, 3u);
}

TEST(EmfWriter, TextRecordHoldsUtf16TextReferencePointAndSpacing)
{
    TEmfWriter w(kPage, kFrame);
    // Odd length (padding before the spacing), a non-Latin-1 character and a surrogate pair.
    const QString label = QStringLiteral("Fr\u00e4me \u20ac") + QString::fromUcs4(U"\U0001D11E");
    const std::vector<int32_t> dx = {7, 6, 7, 9, 7, 3, 8, 12, 0};
    ASSERT_EQ(size_t(label.size()), dx.size());
    w.ExtTextOutW(QPoint(297, -4), label, dx, QRect(270, -4, 55, 14));
    w.ExtTextOutW(QPoint(1, 2), QStringLiteral("ab"), {5}); // missing spacing is written as 0

    auto r = records(w.Bytes());
    ASSERT_EQ(r.size(), 4u);
    ASSERT_EQ(r[1].type, uint32_t(emf::EMR_EXTTEXTOUTW));
    Text t = text(r[1]);
    EXPECT_EQ(t.x, 297);
    EXPECT_EQ(t.y, -4);
    EXPECT_EQ(t.text, label);
    EXPECT_EQ(t.offString, 76u);
    EXPECT_EQ(t.offDx % 4, 0u);
    EXPECT_GE(t.offDx, t.offString + 2 * uint32_t(label.size()));
    EXPECT_EQ(t.dx, dx);
    EXPECT_EQ(uint32_t(r[1].bytes.size()), t.offDx + 4 * uint32_t(dx.size()));
    EXPECT_EQ(u32(r[1].bytes, 24), 1u);  // GM_COMPATIBLE
    EXPECT_EQ(u32(r[1].bytes, 52), 0u);  // neither opaque nor clipped
    EXPECT_EQ(i32(r[1].bytes, 8), 270);  // the output's bounds
    EXPECT_EQ(i32(r[1].bytes, 20), 9);
    // Scale: hundredths of a millimetre per point.
    float scale;
    std::memcpy(&scale, r[1].bytes.constData() + 28, 4);
    EXPECT_NEAR(scale, 2540.0 / 72.0, 0.05);

    Text u = text(r[2]);
    EXPECT_EQ(u.text, QStringLiteral("ab"));
    EXPECT_EQ(u.dx, (std::vector<int32_t>{5, 0}));
}

} // namespace
