#include "FontSet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H
#include <hb-subset.h>
#include <hb.h>

#include "WinAnsi.h"

namespace wpdf {

struct FontSet::Face {
    std::string file;
    int index = 0;
    FT_Face ft = nullptr;
    std::string postscriptName;
    std::string family;
    double unitsPerEm = 1000;
    double ascent = 0, descent = 0; // font units, descent positive
    double capHeight = 0;
    double underlinePosition = 0, underlineThickness = 0;
    double strikeoutPosition = 0, strikeoutThickness = 0;
    double italicAngle = 0;
    bool bold = false, italic = false, fixedPitch = false;
    bool excluded = false;

    // Referenced WinAnsi font.
    QPDFObjectHandle referenced;
    std::string referencedName;
    int widths[256] = {};
    bool widthsKnown = false;

    // Embedded subset; CIDs are the font's own glyph ids.
    QPDFObjectHandle embedded;
    std::string embeddedName;
    std::map<unsigned, std::u32string> used;
    bool forceEmbed = false;

    ~Face()
    {
        if (ft)
            FT_Done_Face(ft);
    }

    int advance(unsigned gid) const
    {
        FT_Fixed a = 0;
        if (FT_Get_Advance(ft, gid, FT_LOAD_NO_SCALE, &a) != 0)
            return 0;
        return static_cast<int>(std::lround(static_cast<double>(a) * 1000.0 / unitsPerEm));
    }
    double toThousandths(double units) const { return units * 1000.0 / unitsPerEm; }
};

namespace {

bool hasTrueTypeOutlines(FT_Face face)
{
    FT_ULong length = 0;
    return FT_IS_SFNT(face) && FT_Load_Sfnt_Table(face, TTAG_glyf, 0, nullptr, &length) == 0 &&
           length > 0;
}

std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Font names become PDF names; keep the characters every reader accepts.
std::string pdfNameText(const std::string &s)
{
    std::string out;
    for (char c : s)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_' || c == '+' || c == '.' || c == ',')
            out.push_back(c);
    return out.empty() ? std::string("Font") : out;
}

std::string hex4(unsigned v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%04X", v & 0xFFFF);
    return b;
}

std::string utf16beHex(const std::u32string &s)
{
    std::string out;
    for (char32_t c : s) {
        if (c >= 0x10000) {
            char32_t v = c - 0x10000;
            out += hex4(0xD800 + (v >> 10));
            out += hex4(0xDC00 + (v & 0x3FF));
        } else {
            out += hex4(c);
        }
    }
    return out;
}

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

QPDFObjectHandle numberArray(std::initializer_list<double> values)
{
    auto a = QPDFObjectHandle::newArray();
    for (double v : values)
        a.appendItem(QPDFObjectHandle::newInteger(static_cast<long long>(std::lround(v))));
    return a;
}

} // namespace

FontSet::FontSet(QPDF &pdf, int32_t mode, std::vector<std::string> excluded,
                 bool announceEmbedding, Reporter reporter)
    : pdf_(pdf), mode_(mode), announce_(announceEmbedding), report_(std::move(reporter))
{
    for (auto &name : excluded)
        if (!name.empty())
            excluded_.push_back(lower(name));
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0)
        throw std::runtime_error("The font library could not be started.");
    library_ = lib;
}

FontSet::~FontSet()
{
    faces_.clear();
    if (library_)
        FT_Done_FreeType(static_cast<FT_Library>(library_));
    if (config_)
        FcConfigDestroy(static_cast<FcConfig *>(config_));
}

bool FontSet::embeds() const
{
    // 1, 2 and 4 ask for embedded fonts too; a used-character subset serves
    // them all and keeps files small. 0, 3 and unknown values reference fonts.
    return mode_ == 1 || mode_ == 2 || mode_ == 4 || mode_ == 5;
}

FontSet::Face &FontSet::faceFor(const FontRequest &request)
{
    std::string key = lower(request.face) + (request.bold ? "|b" : "|") +
                      (request.italic ? "i" : "") + (request.fixedPitch ? "f" : "");
    if (auto it = byRequest_.find(key); it != byRequest_.end())
        return *it->second;

    std::string family = request.face.empty() ? (request.fixedPitch ? "monospace" : "sans-serif")
                                              : request.face;
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    // A configuration of our own: the process-wide one belongs to the program
    // (its toolkit uses it), and this one is released with the document.
    if (!config_)
        config_ = FcInitLoadConfigAndFonts();
    auto *config = static_cast<FcConfig *>(config_);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet *set = config ? FcFontSort(config, pattern, FcTrue, nullptr, &result) : nullptr;
    FcPatternDestroy(pattern);

    // The best match that has TrueType outlines, since those are what a
    // TrueType font dictionary and FontFile2 can carry.
    std::unique_ptr<Face> chosen;
    for (int i = 0; set && i < set->nfont && !chosen; ++i) {
        FcChar8 *file = nullptr;
        int index = 0;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
            continue;
        FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
        std::string path = reinterpret_cast<const char *>(file);
        for (auto &f : faces_)
            if (f->file == path && f->index == index) {
                byRequest_[key] = f.get();
                FcFontSetDestroy(set);
                return *f;
            }
        FT_Face ft = nullptr;
        if (FT_New_Face(static_cast<FT_Library>(library_), path.c_str(), index, &ft) != 0)
            continue;
        if (!hasTrueTypeOutlines(ft) || ft->units_per_EM == 0) {
            FT_Done_Face(ft);
            continue;
        }
        chosen = std::make_unique<Face>();
        chosen->file = path;
        chosen->index = index;
        chosen->ft = ft;
    }
    if (set)
        FcFontSetDestroy(set);
    if (!chosen)
        throw std::runtime_error("No TrueType font was found for \"" + family + "\".");

    Face &f = *chosen;
    FT_Face ft = f.ft;
    f.unitsPerEm = ft->units_per_EM;
    const char *ps = FT_Get_Postscript_Name(ft);
    f.family = ft->family_name ? ft->family_name : "Font";
    f.postscriptName = pdfNameText(ps ? ps : f.family);
    auto *os2 = static_cast<TT_OS2 *>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    auto *post = static_cast<TT_Postscript *>(FT_Get_Sfnt_Table(ft, FT_SFNT_POST));
    // Windows places text by the OS/2 "win" metrics; FreeType's hhea values otherwise.
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent > 0) {
        f.ascent = os2->usWinAscent;
        f.descent = os2->usWinDescent;
    } else {
        f.ascent = ft->ascender;
        f.descent = -ft->descender;
    }
    f.capHeight = (os2 && os2->version >= 2 && os2->sCapHeight > 0) ? os2->sCapHeight : f.ascent * 0.7;
    f.underlineThickness = ft->underline_thickness > 0 ? ft->underline_thickness : f.unitsPerEm / 20;
    f.underlinePosition = ft->underline_position != 0 ? ft->underline_position : -f.unitsPerEm / 10;
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
        f.strikeoutThickness = os2->yStrikeoutSize;
        f.strikeoutPosition = os2->yStrikeoutPosition - os2->yStrikeoutSize / 2.0;
    } else {
        f.strikeoutThickness = f.underlineThickness;
        f.strikeoutPosition = f.ascent * 0.3;
    }
    f.italicAngle = post ? static_cast<double>(post->italicAngle) / 65536.0 : 0.0;
    f.bold = (ft->style_flags & FT_STYLE_FLAG_BOLD) || (os2 && os2->version != 0xFFFF && os2->usWeightClass >= 600);
    f.italic = (ft->style_flags & FT_STYLE_FLAG_ITALIC) != 0 || f.italicAngle != 0;
    f.fixedPitch = FT_IS_FIXED_WIDTH(ft);
    std::string lowFace = lower(request.face), lowFamily = lower(f.family);
    f.excluded = std::any_of(excluded_.begin(), excluded_.end(), [&](const std::string &e) {
        return e == lowFace || e == lowFamily;
    });
    faces_.push_back(std::move(chosen));
    byRequest_[key] = &f;
    return f;
}

EncodedText FontSet::encode(const FontRequest &request, const std::u32string &rawText)
{
    if (finished_)
        throw std::logic_error("Text was drawn after the document was ended.");
    Face &f = faceFor(request);
    std::u32string text;
    for (char32_t c : rawText)
        if (!isControl(c))
            text.push_back(c);

    bool allWinAnsi = std::all_of(text.begin(), text.end(),
                                  [](char32_t c) { return winAnsiFromUnicode(c) >= 0; });
    bool embed = f.forceEmbed || (embeds() && !f.excluded);
    if (!embed && !allWinAnsi) {
        // A referenced WinAnsi font would show other glyphs for these
        // characters; from here on this face goes in as a subset.
        f.forceEmbed = true;
        embed = true;
        report_(1, "The text in font \"" + f.family +
                       "\" has characters outside WinAnsiEncoding, so a subset of the font is embedded.");
    }

    EncodedText out;
    out.ascent = f.toThousandths(f.ascent);
    out.descent = f.toThousandths(f.descent);
    out.underlinePosition = f.toThousandths(f.underlinePosition);
    out.underlineThickness = f.toThousandths(f.underlineThickness);
    out.strikeoutPosition = f.toThousandths(f.strikeoutPosition);
    out.strikeoutThickness = f.toThousandths(f.strikeoutThickness);
    out.syntheticBold = request.bold && !f.bold;
    out.syntheticItalic = request.italic && !f.italic;

    if (!embed) {
        if (!f.widthsKnown) {
            for (int code = 0; code < 256; ++code) {
                char32_t u = unicodeFromWinAnsi(static_cast<uint8_t>(code));
                f.widths[code] = u ? f.advance(FT_Get_Char_Index(f.ft, u)) : 0;
            }
            f.widthsKnown = true;
        }
        if (!f.referenced.isInitialized()) {
            f.referenced = pdf_.makeIndirectObject(QPDFObjectHandle::newDictionary());
            f.referencedName = "F" + std::to_string(nextResource_++);
        }
        for (char32_t c : text) {
            int code = winAnsiFromUnicode(c);
            out.bytes.push_back(static_cast<char>(code));
            out.advance += f.widths[code];
        }
        out.font = f.referenced;
        out.resourceName = f.referencedName;
        return out;
    }

    if (!f.embedded.isInitialized()) {
        f.embedded = pdf_.makeIndirectObject(QPDFObjectHandle::newDictionary());
        f.embeddedName = "F" + std::to_string(nextResource_++);
        if (announce_)
            report_(2, "The font \"" + f.family + "\" is embedded as a subset.");
    }
    for (char32_t c : text) {
        unsigned gid = FT_Get_Char_Index(f.ft, c);
        out.bytes.push_back(static_cast<char>((gid >> 8) & 0xFF));
        out.bytes.push_back(static_cast<char>(gid & 0xFF));
        out.advance += f.advance(gid);
        if (gid != 0)
            f.used.emplace(gid, std::u32string(1, c));
    }
    out.font = f.embedded;
    out.resourceName = f.embeddedName;
    return out;
}

QPDFObjectHandle FontSet::descriptor(Face &f, const std::string &name, int flags)
{
    FT_Face ft = f.ft;
    auto d = QPDFObjectHandle::newDictionary();
    d.replaceKey("/Type", QPDFObjectHandle::newName("/FontDescriptor"));
    d.replaceKey("/FontName", QPDFObjectHandle::newName("/" + name));
    d.replaceKey("/Flags", QPDFObjectHandle::newInteger(flags));
    d.replaceKey("/FontBBox", numberArray({f.toThousandths(ft->bbox.xMin), f.toThousandths(ft->bbox.yMin),
                                           f.toThousandths(ft->bbox.xMax), f.toThousandths(ft->bbox.yMax)}));
    d.replaceKey("/ItalicAngle", QPDFObjectHandle::newReal(f.italicAngle, 2));
    d.replaceKey("/Ascent", QPDFObjectHandle::newInteger(std::lround(f.toThousandths(f.ascent))));
    d.replaceKey("/Descent", QPDFObjectHandle::newInteger(-std::lround(f.toThousandths(f.descent))));
    d.replaceKey("/CapHeight", QPDFObjectHandle::newInteger(std::lround(f.toThousandths(f.capHeight))));
    d.replaceKey("/StemV", QPDFObjectHandle::newInteger(f.bold ? 140 : 80));
    return pdf_.makeIndirectObject(d);
}

void FontSet::finishReferenced(Face &f)
{
    auto widths = QPDFObjectHandle::newArray();
    for (int code = 32; code <= 255; ++code)
        widths.appendItem(QPDFObjectHandle::newInteger(f.widths[code]));
    int flags = 32 | (f.fixedPitch ? 1 : 0) | (f.italic ? 64 : 0);
    f.referenced.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
    f.referenced.replaceKey("/Subtype", QPDFObjectHandle::newName("/TrueType"));
    f.referenced.replaceKey("/BaseFont", QPDFObjectHandle::newName("/" + f.postscriptName));
    f.referenced.replaceKey("/FirstChar", QPDFObjectHandle::newInteger(32));
    f.referenced.replaceKey("/LastChar", QPDFObjectHandle::newInteger(255));
    f.referenced.replaceKey("/Widths", widths);
    f.referenced.replaceKey("/Encoding", QPDFObjectHandle::newName("/WinAnsiEncoding"));
    f.referenced.replaceKey("/FontDescriptor", descriptor(f, f.postscriptName, flags));
}

void FontSet::finishEmbedded(Face &f)
{
    // Subset tag: six capitals derived from the glyphs, so equal input gives equal output.
    uint32_t h = 2166136261u;
    auto mix = [&h](uint32_t v) {
        h ^= v;
        h *= 16777619u;
    };
    for (char c : f.postscriptName)
        mix(static_cast<uint8_t>(c));
    for (auto &[gid, text] : f.used)
        mix(gid);
    std::string tag;
    for (int i = 0; i < 6; ++i) {
        tag.push_back(static_cast<char>('A' + h % 26));
        h /= 26;
        if (i == 2)
            mix(0x9E3779B9u);
    }
    std::string name = tag + "+" + f.postscriptName;

    std::ifstream in(f.file, std::ios::binary);
    std::string fileData((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (fileData.empty())
        throw std::runtime_error("The font file \"" + f.file + "\" could not be read.");

    // Glyph ids stay as they are, so the content streams written page by page
    // stay valid whatever the subset turns out to hold.
    std::string subset;
    hb_blob_t *blob = hb_blob_create(fileData.data(), static_cast<unsigned>(fileData.size()),
                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    hb_face_t *face = hb_face_create(blob, static_cast<unsigned>(f.index));
    hb_subset_input_t *input = hb_subset_input_create_or_fail();
    if (input) {
        hb_set_t *glyphs = hb_subset_input_glyph_set(input);
        hb_set_add(glyphs, 0);
        for (auto &[gid, text] : f.used)
            hb_set_add(glyphs, gid);
        hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS);
        if (hb_face_t *result = hb_subset_or_fail(face, input)) {
            hb_blob_t *out = hb_face_reference_blob(result);
            unsigned length = 0;
            const char *data = hb_blob_get_data(out, &length);
            if (data && length > 0)
                subset.assign(data, length);
            hb_blob_destroy(out);
            hb_face_destroy(result);
        }
        hb_subset_input_destroy(input);
    }
    hb_face_destroy(face);
    hb_blob_destroy(blob);
    if (subset.empty()) {
        bool collection = fileData.size() >= 4 && fileData.compare(0, 4, "ttcf") == 0;
        if (collection)
            throw std::runtime_error("The font \"" + f.family + "\" could not be subset for embedding.");
        report_(1, "The font \"" + f.family + "\" could not be subset; it is embedded whole.");
        subset = std::move(fileData);
    }

    auto fontFile = QPDFObjectHandle::newStream(&pdf_, subset);
    fontFile.getDict().replaceKey("/Length1", QPDFObjectHandle::newInteger(static_cast<long long>(subset.size())));
    int flags = 4 | (f.fixedPitch ? 1 : 0) | (f.italic ? 64 : 0);
    auto fd = descriptor(f, name, flags);
    fd.replaceKey("/FontFile2", fontFile);

    auto w = QPDFObjectHandle::newArray();
    for (auto &[gid, text] : f.used) {
        w.appendItem(QPDFObjectHandle::newInteger(gid));
        auto one = QPDFObjectHandle::newArray();
        one.appendItem(QPDFObjectHandle::newInteger(f.advance(gid)));
        w.appendItem(one);
    }
    auto sysInfo = QPDFObjectHandle::newDictionary();
    sysInfo.replaceKey("/Registry", QPDFObjectHandle::newString("Adobe"));
    sysInfo.replaceKey("/Ordering", QPDFObjectHandle::newString("Identity"));
    sysInfo.replaceKey("/Supplement", QPDFObjectHandle::newInteger(0));
    auto cid = QPDFObjectHandle::newDictionary();
    cid.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
    cid.replaceKey("/Subtype", QPDFObjectHandle::newName("/CIDFontType2"));
    cid.replaceKey("/BaseFont", QPDFObjectHandle::newName("/" + name));
    cid.replaceKey("/CIDSystemInfo", sysInfo);
    cid.replaceKey("/FontDescriptor", fd);
    cid.replaceKey("/DW", QPDFObjectHandle::newInteger(f.advance(0)));
    cid.replaceKey("/W", w);
    cid.replaceKey("/CIDToGIDMap", QPDFObjectHandle::newName("/Identity"));

    // ToUnicode, so the text can be searched and copied.
    std::ostringstream cmap;
    cmap << "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
            "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
            "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
            "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<unsigned, std::u32string>> entries(f.used.begin(), f.used.end());
    for (size_t i = 0; i < entries.size(); i += 100) {
        size_t n = std::min<size_t>(100, entries.size() - i);
        cmap << n << " beginbfchar\n";
        for (size_t k = i; k < i + n; ++k)
            cmap << "<" << hex4(entries[k].first) << "> <" << utf16beHex(entries[k].second) << ">\n";
        cmap << "endbfchar\n";
    }
    cmap << "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";

    auto descendants = QPDFObjectHandle::newArray();
    descendants.appendItem(pdf_.makeIndirectObject(cid));
    f.embedded.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
    f.embedded.replaceKey("/Subtype", QPDFObjectHandle::newName("/Type0"));
    f.embedded.replaceKey("/BaseFont", QPDFObjectHandle::newName("/" + name));
    f.embedded.replaceKey("/Encoding", QPDFObjectHandle::newName("/Identity-H"));
    f.embedded.replaceKey("/DescendantFonts", descendants);
    f.embedded.replaceKey("/ToUnicode", QPDFObjectHandle::newStream(&pdf_, cmap.str()));
}

void FontSet::finish()
{
    if (finished_)
        return;
    finished_ = true;
    for (auto &f : faces_) {
        if (f->referenced.isInitialized())
            finishReferenced(*f);
        if (f->embedded.isInitialized())
            finishEmbedded(*f);
    }
}

} // namespace wpdf
