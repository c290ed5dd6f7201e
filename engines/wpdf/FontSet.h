#pragma once
// The fonts of one document: finds font files through fontconfig, measures
// with FreeType, and makes the PDF font objects, either referenced TrueType
// fonts in WinAnsiEncoding or embedded subsets (Type0, Identity-H, ToUnicode).
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wpdf {

struct FontRequest {
    std::string face; // UTF-8; empty: the default face
    bool bold = false;
    bool italic = false;
    bool fixedPitch = false;
};

// A text ready for the content stream. Lengths are in 1/1000 of the font size.
struct EncodedText {
    std::string resourceName; // without the slash
    QPDFObjectHandle font;    // indirect font dictionary
    std::string bytes;        // the string operand of Tj
    double advance = 0;
    double ascent = 0, descent = 0; // descent positive, below the baseline
    double underlinePosition = 0, underlineThickness = 0; // centre of the line
    double strikeoutPosition = 0, strikeoutThickness = 0; // centre of the line
    bool syntheticBold = false, syntheticItalic = false;
};

class FontSet {
public:
    // `value` is a WpdfMessage code.
    using Reporter = std::function<void(int32_t value, const std::string &message)>;

    // `mode` is the font mode property; `excluded` lists face names that are
    // never embedded unless their text needs it.
    FontSet(QPDF &pdf, int32_t mode, std::vector<std::string> excluded, bool announceEmbedding,
            Reporter reporter);
    ~FontSet();
    FontSet(const FontSet &) = delete;
    FontSet &operator=(const FontSet &) = delete;

    // Encodes `text` (control characters are dropped) for the face that best
    // matches the request. Throws std::runtime_error when no usable font file
    // exists at all.
    EncodedText encode(const FontRequest &request, const std::u32string &text);

    // Completes every font dictionary (subsets are made here). Call once
    // after the last page; later calls do nothing.
    void finish();

    bool embeds() const;

private:
    struct Face;
    Face &faceFor(const FontRequest &request);
    void finishReferenced(Face &face);
    void finishEmbedded(Face &face);
    QPDFObjectHandle descriptor(Face &face, const std::string &name, int flags);

    QPDF &pdf_;
    int32_t mode_;
    std::vector<std::string> excluded_;
    bool announce_;
    Reporter report_;
    void *library_ = nullptr; // FT_Library
    void *config_ = nullptr;  // FcConfig
    std::map<std::string, Face *> byRequest_;
    std::vector<std::unique_ptr<Face>> faces_;
    int nextResource_ = 1;
    bool finished_ = false;
};

} // namespace wpdf
