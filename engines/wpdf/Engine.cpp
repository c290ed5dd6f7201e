#include "Engine.h"

#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QUtil.hh>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "EmfReader.h"
#include "FontSet.h"
#include "FrontFile.h"
#include "JpegInfo.h"
#include "LargeStack.h"
#include "OutputFile.h"
#include "Spool.h"

namespace wpdf {

namespace {

int32_t readI32(const uint8_t *p)
{
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Numbers in content streams: fixed point, no exponent, no trailing zeros.
std::string num(double v)
{
    if (!std::isfinite(v))
        v = 0;
    char b[64];
    std::snprintf(b, sizeof b, "%.4f", v);
    std::string s = b;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    if (s == "-0" || s.empty())
        s = "0";
    return s;
}

std::string colour(uint32_t c)
{
    return num((c & 0xFF) / 255.0) + " " + num(((c >> 8) & 0xFF) / 255.0) + " " +
           num(((c >> 16) & 0xFF) / 255.0);
}

std::string hexBytes(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "<";
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    out.push_back('>');
    return out;
}

std::u32string toUtf32(const std::u16string &s)
{
    std::u32string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        out.push_back(c);
    }
    return out;
}

std::string toUtf8(const std::u16string &s)
{
    std::string out;
    for (char32_t c : toUtf32(s)) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// "D:" and at least a year; anything else is replaced by the current time.
bool plausiblePdfDate(const std::string &s)
{
    if (s.size() < 6 || s.compare(0, 2, "D:") != 0)
        return false;
    for (size_t i = 2; i < 6; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

std::string sentence(std::string text)
{
    if (text.empty() || (text.back() != '.' && text.back() != '!' && text.back() != '?'))
        text += '.';
    return text;
}

std::string randomPassword()
{
    unsigned char bytes[16] = {};
    std::ifstream random("/dev/urandom", std::ios::binary);
    random.read(reinterpret_cast<char *>(bytes), sizeof bytes);
    if (!random)
        throw std::runtime_error("No random owner password could be made.");
    std::string out;
    char b[3];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02x", c);
        out += b;
    }
    return out;
}

} // namespace

Engine::Engine(WPPDF_Callback callback, void *component)
    : callback_(callback), component_(component)
{
}

// Members go in the order closeDocument uses: objects of the document before the document.
Engine::~Engine() { closeDocument(); }

void Engine::report(int32_t value, const std::string &message)
{
    if (callback_)
        callback_(component_, kMessage, value, const_cast<char *>(message.c_str()));
}

void Engine::setInt(int32_t id, int32_t value) { ints_[id] = value; }

void Engine::setText(int32_t id, const char *text) { texts_[id] = text ? text : ""; }

int32_t Engine::intProp(int32_t id, int32_t fallback) const
{
    auto it = ints_.find(id);
    return it == ints_.end() ? fallback : it->second;
}

std::string Engine::textProp(int32_t id) const
{
    auto it = texts_.find(id);
    return it == texts_.end() ? std::string() : it->second;
}

void Engine::initializePage(const void *pageRecord)
{
    if (!pageRecord)
        return;
    auto *p = static_cast<const uint8_t *>(pageRecord);
    pageWidth_ = readI32(p + page_record::kWidth);
    pageHeight_ = readI32(p + page_record::kHeight);
    resX_ = readI32(p + page_record::kResX);
    resY_ = readI32(p + page_record::kResY);
}

intptr_t Engine::action(int32_t id, intptr_t argument, void *record)
{
    switch (id) {
    case kBeginDoc:
        return beginDocument(reinterpret_cast<const char *>(argument));
    case kBeginPage:
        return beginPage();
    case kDrawImage:
        return drawImage(static_cast<uint8_t *>(record), nullptr);
    case kDrawImageFile:
        if (!argument) {
            report(kMsgError, "A picture file was handed over without its name.");
            return kBadPicture;
        }
        return drawImage(static_cast<uint8_t *>(record), reinterpret_cast<const char *>(argument));
    case kDrawMetafile:
        return drawMetafile(argument, static_cast<const uint8_t *>(record));
    case kEndPage:
        return endPage();
    case kEndDoc:
        return endDocument();
    case kMemoryCopy:
        return memoryCopy(argument, record);
    case kWriteFile:
        return writeFile(static_cast<const char *>(record));
    case kCloseDoc:
        return closeDocument();
    default:
        report(kMsgError, "The engine does not know action " + std::to_string(id) + ".");
        return kFailed;
    }
}

int32_t Engine::beginDocument(const char *fileName)
{
    if (pdf_) {
        report(kMsgError, "A document is already open.");
        return kFailed;
    }
    fileName_ = fileName ? fileName : "";
    ended_ = false;
    // A target that cannot take the file would only show at the very end,
    // after every page has been made.
    if (!fileName_.empty()) {
        if (std::string problem = OutputFile::problem(fileName_); !problem.empty()) {
            report(kMsgError, problem);
            return kFailed;
        }
        OutputFile::removeStalePartials(fileName_);
    }
    try {
        pdf_ = std::make_unique<QPDF>();
        // Warnings are turned into messages (or failures) here, not printed.
        pdf_->setSuppressWarnings(true);
        pdf_->emptyPDF();
        if (!openFrontFile()) {
            closeDocument();
            return kFailed;
        }
        spool_ = std::make_shared<Spool>(fileName_.empty() ? std::string() : folderOf(fileName_));
        std::vector<std::string> excluded;
        std::istringstream lines(textProp(kExcludedFonts));
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            excluded.push_back(line);
        }
        fonts_ = std::make_unique<FontSet>(*pdf_, intProp(kFontMode), excluded,
                                           (intProp(kExtraMessages) & 1) != 0,
                                           [this](int32_t value, const std::string &m) { report(value, m); });
    } catch (...) {
        closeDocument();
        throw;
    }
    return kOk;
}

// The front file is checked completely here, so a problem with it stops the
// document before any page is made. It stays open until the document is
// closed: its picture data are read only when the sheet is written.
bool Engine::openFrontFile()
{
    std::string path = textProp(kInputFile);
    int32_t mode = intProp(kInputFileMode);
    if (path.empty() || mode == kIgnoreInput)
        return true;
    if (mode != kAppendToInput) {
        report(kMsgWarning, "Using the front PDF file as a watermark is not supported; it was left out.");
        return true;
    }
    std::string problem;
    std::unique_ptr<FILE, int (*)(FILE *)> file(wpdf::openFrontFile(path, problem), std::fclose);
    if (!file) {
        report(kMsgError, problem);
        return false;
    }
    auto front = std::make_unique<QPDF>();
    front->setSuppressWarnings(true);
    size_t pages = 0;
    try {
        onLargeStack([&] {
            front->processFile(path.c_str(), file.release(), true);
            problem = copyFrontFile(*front, path, pages);
        });
    } catch (QPDFExc &e) {
        problem = "The front PDF file \"" + path + "\" cannot be read: " + sentence(e.getMessageDetail());
    } catch (std::exception &e) {
        problem = "The front PDF file \"" + path + "\" cannot be read: " + sentence(e.what());
    }
    if (!problem.empty()) {
        report(kMsgError, problem);
        return false;
    }
    if (!front->getWarnings().empty())
        report(kMsgWarning, "The front PDF file \"" + path + "\" is damaged and was repaired while reading.");
    front_ = std::move(front);
    if (callback_)
        callback_(component_, kInputPageCount, static_cast<int32_t>(pages), nullptr);
    return true;
}

// Runs on a large stack: qpdf's page walk and object copy are recursive.
std::string Engine::copyFrontFile(QPDF &front, const std::string &path, size_t &pageCount)
{
    const std::string file = "The front PDF file \"" + path + "\" ";
    if (front.isEncrypted())
        return file + "is encrypted and cannot be used.";
    if (std::string problem = pageTreeProblem(front); !problem.empty())
        return file + problem;
    auto pages = QPDFPageDocumentHelper(front).getAllPages();
    if (pages.empty())
        return file + "has no pages.";
    // The copy takes inherited resources along; walk them where it will.
    front.pushInheritedAttributesToPage();
    auto frontRoot = front.getRoot();
    auto names = frontRoot.getKey("/Names");
    std::vector<QPDFObjectHandle> copied;
    for (auto &page : pages)
        copied.push_back(page.getObjectHandle());
    for (auto tree : {frontRoot.getKey("/Outlines"), frontRoot.getKey("/Dests"),
                      names.isDictionary() ? names.getKey("/Dests") : QPDFObjectHandle::newNull()})
        if (tree.isDictionary())
            copied.push_back(tree);
    if (!copyDepthWithinLimit(copied))
        return file + "cannot be used because its objects are nested more than " + std::to_string(kMaxObjectDepth) +
               " levels deep; choose another front file.";

    QPDFPageDocumentHelper out(*pdf_);
    for (auto &page : pages)
        out.addPage(page, false);
    // The outline and the named destinations it may use; pages are copied
    // first so that destinations resolve to the copied pages.
    auto root = pdf_->getRoot();
    if (frontRoot.getKey("/Outlines").isDictionary())
        root.replaceKey("/Outlines", pdf_->copyForeignObject(frontRoot.getKey("/Outlines")));
    if (frontRoot.getKey("/Dests").isDictionary())
        root.replaceKey("/Dests", pdf_->copyForeignObject(frontRoot.getKey("/Dests")));
    if (names.isDictionary() && names.getKey("/Dests").isDictionary()) {
        auto n = QPDFObjectHandle::newDictionary();
        n.replaceKey("/Dests", pdf_->copyForeignObject(names.getKey("/Dests")));
        root.replaceKey("/Names", n);
    }
    if (frontRoot.getKey("/PageMode").isName())
        root.replaceKey("/PageMode", frontRoot.getKey("/PageMode"));
    pageCount = pages.size();
    return {};
}

int32_t Engine::beginPage()
{
    if (!pdf_ || ended_) {
        report(kMsgError, "A page can only be begun within a document.");
        return kFailed;
    }
    if (page_)
        endPage();
    // Page sizes beyond 200 inches exceed what viewers accept.
    constexpr int32_t kMaxPoints = 14400;
    if (pageWidth_ <= 0 || pageHeight_ <= 0 || pageWidth_ > kMaxPoints || pageHeight_ > kMaxPoints) {
        report(kMsgError, "The page size " + std::to_string(pageWidth_) + " x " +
                              std::to_string(pageHeight_) + " points is not valid.");
        return kFailed;
    }
    Page p;
    p.width = pageWidth_;
    p.height = pageHeight_;
    p.unitX = 72.0 / (resX_ > 0 ? resX_ : 72);
    p.unitY = 72.0 / (resY_ > 0 ? resY_ : 72);
    p.xobjects = QPDFObjectHandle::newDictionary();
    p.fonts = QPDFObjectHandle::newDictionary();
    page_ = std::move(p);
    return kOk;
}

int32_t Engine::endPage()
{
    if (!page_) {
        report(kMsgError, "No page was begun.");
        return kFailed;
    }
    Page p = std::move(*page_);
    page_.reset();
    auto mediaBox = QPDFObjectHandle::newArray();
    for (double v : {0.0, 0.0, p.width, p.height})
        mediaBox.appendItem(QPDFObjectHandle::newReal(v, 2, true));
    auto procSet = QPDFObjectHandle::newArray();
    for (const char *n : {"/PDF", "/Text", "/ImageB", "/ImageC"})
        procSet.appendItem(QPDFObjectHandle::newName(n));
    auto resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/ProcSet", procSet);
    if (!p.xobjects.getKeys().empty())
        resources.replaceKey("/XObject", p.xobjects);
    if (!p.fonts.getKeys().empty())
        resources.replaceKey("/Font", p.fonts);
    auto dict = QPDFObjectHandle::newDictionary();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    dict.replaceKey("/MediaBox", mediaBox);
    dict.replaceKey("/Resources", resources);
    dict.replaceKey("/Contents", QPDFObjectHandle::newStream(pdf_.get(), p.content));
    pdf_->addPage(pdf_->makeIndirectObject(dict), false);
    return kOk;
}

int32_t Engine::drawImage(uint8_t *record, const char *file)
{
    using namespace image_record;
    if (!record) {
        report(kMsgError, "A picture was handed over without its record.");
        return kNoRecord;
    }
    auto result = [record](int32_t r) {
        std::memcpy(record + kResult, &r, 4);
        return r;
    };
    if (!page_) {
        report(kMsgError, "A picture can only be placed on a begun page.");
        return result(kNoPage);
    }
    int32_t kind = readI32(record + kKind);
    if (kind != kKindJpeg) {
        report(kMsgError, "Pictures of kind " + std::to_string(kind) + " cannot be placed; only JPEG data can.");
        return result(kUnsupportedKind);
    }

    // The data in memory, or mapped from the file just long enough to read
    // the picture's header.
    const uint8_t *data = nullptr;
    size_t length = 0;
    int fd = -1;
    void *mapped = MAP_FAILED;
    struct Unmap {
        int &fd;
        void *&mapped;
        size_t &length;
        ~Unmap()
        {
            if (mapped != MAP_FAILED)
                ::munmap(mapped, length);
            if (fd >= 0)
                ::close(fd);
        }
    } unmap{fd, mapped, length};
    if (file) {
        struct stat st {};
        fd = ::open(file, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
            report(kMsgError, std::string("The picture file \"") + file + "\" is missing, empty or not a file.");
            return result(kBadPicture);
        }
        length = size_t(st.st_size);
        mapped = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped == MAP_FAILED) {
            report(kMsgError, std::string("The picture file \"") + file + "\" cannot be read: " + std::strerror(errno) + ".");
            return result(kBadPicture);
        }
        data = static_cast<const uint8_t *>(mapped);
    } else {
        std::memcpy(&data, record + kData, sizeof data);
        const int32_t given = readI32(record + kLength);
        length = given > 0 ? size_t(given) : 0;
    }
    if (!data || length == 0) {
        report(kMsgError, "A picture was handed over without data.");
        return result(kBadPicture);
    }
    std::string reason;
    auto info = readJpegInfo(data, length, &reason);
    if (!info) {
        report(kMsgError, file ? std::string("The picture file \"") + file + "\": " + reason : reason);
        return result(kBadPicture);
    }

    Page &p = *page_;
    auto image = QPDFObjectHandle::newStream(pdf_.get());
    auto dict = image.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(info->width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(info->height));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(info->bitsPerComponent));
    const char *space = info->components == 1 ? "/DeviceGray"
                        : info->components == 3 ? "/DeviceRGB"
                                                : "/DeviceCMYK";
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(space));
    if (info->adobeInverted) {
        auto decode = QPDFObjectHandle::newArray();
        for (int i = 0; i < 4; ++i) {
            decode.appendItem(QPDFObjectHandle::newInteger(1));
            decode.appendItem(QPDFObjectHandle::newInteger(0));
        }
        dict.replaceKey("/Decode", decode);
    }
    try {
        if (file)
            spool_->addFile(image.getObjGen(), file, fd);
        else
            spool_->add(image.getObjGen(), data, length);
    } catch (std::exception &e) {
        // The stream stays unreferenced, so the writer leaves it out.
        report(kMsgError, e.what());
        return result(kFailed);
    }
    image.replaceStreamData(std::static_pointer_cast<QPDFObjectHandle::StreamDataProvider>(spool_),
                            QPDFObjectHandle::newName("/DCTDecode"), QPDFObjectHandle::newNull());

    std::string name = "Im" + std::to_string(++p.images);
    p.xobjects.replaceKey("/" + name, image);

    // A display size of zero means the picture's own size, one pixel per unit.
    int32_t w = readI32(record + kDisplayWidth);
    int32_t h = readI32(record + kDisplayHeight);
    if (w <= 0 || h <= 0) {
        w = info->width;
        h = info->height;
    }
    double width = w * p.unitX, height = h * p.unitY;
    double x = readI32(record + kX) * p.unitX;
    double top = readI32(record + kY) * p.unitY;
    p.content += "q " + num(width) + " 0 0 " + num(height) + " " + num(x) + " " +
                 num(p.height - top - height) + " cm /" + name + " Do Q\n";
    return result(kOk);
}

int32_t Engine::drawMetafile(intptr_t metafile, const uint8_t *record)
{
    using namespace metafile_record;
    if (!page_) {
        report(kMsgError, "A metafile can only be placed on a begun page.");
        return kNoPage;
    }
    auto *data = reinterpret_cast<const uint8_t *>(metafile);
    uint32_t size = emfDeclaredSize(data);
    if (size == 0) {
        report(kMsgError, "The metafile handed over is not an enhanced metafile.");
        return kDamagedMetafile;
    }
    double x = 0, y = 0, resX = 72, resY = 72;
    if (record) {
        x = readI32(record + kX);
        y = readI32(record + kY);
        int32_t rx = readI32(record + kResX), ry = readI32(record + kResY);
        resX = rx > 0 ? rx : 72;
        resY = ry > 0 ? ry : 72;
    }
    EmfContent content = readEmf(data, size);
    // The record's position is in page units; the metafile's own units follow its resolution.
    double originX = x * page_->unitX, originY = y * page_->unitY;
    for (const auto &text : content.texts)
        drawText(text, originX, originY, 72.0 / resX, 72.0 / resY);
    if (!content.problems.empty()) {
        report(kMsgWarning, "The metafile is damaged; what could be read was placed. " + content.problems.front());
        return kDamagedMetafile;
    }
    return kOk;
}

void Engine::drawText(const EmfText &t, double originX, double originY, double scaleX, double scaleY)
{
    Page &p = *page_;
    std::string &c = p.content;
    const double pageY = p.height;

    if (t.fillRect && t.rect.right > t.rect.left && t.rect.bottom > t.rect.top) {
        double l = originX + t.rect.left * scaleX, r = originX + t.rect.right * scaleX;
        double top = originY + t.rect.top * scaleY, bottom = originY + t.rect.bottom * scaleY;
        c += colour(t.bkColor) + " rg " + num(l) + " " + num(pageY - bottom) + " " + num(r - l) + " " +
             num(bottom - top) + " re f\n";
    }
    if (t.text.empty())
        return;

    FontRequest request;
    request.face = toUtf8(t.font.face);
    request.bold = t.font.weight >= 600;
    request.italic = t.font.italic;
    request.fixedPitch = t.font.fixedPitch;
    EncodedText enc = fonts_->encode(request, toUtf32(t.text));
    if (enc.bytes.empty())
        return;
    p.fonts.replaceKey("/" + enc.resourceName, enc.font);

    // A negative height is the em size; a positive one the cell height
    // (ascent plus descent); zero the default of 12 points.
    double size;
    if (t.font.height < 0)
        size = -static_cast<double>(t.font.height) * scaleY;
    else if (t.font.height > 0 && enc.ascent + enc.descent > 0)
        size = t.font.height * scaleY * 1000.0 / (enc.ascent + enc.descent);
    else
        size = 12;
    const double k = size / 1000.0;
    const double width = enc.advance * k;
    const double ascent = enc.ascent * k, descent = enc.descent * k;

    // Text space: origin at the reference point, y up, along the escapement.
    double dx = 0;
    switch (t.align & 6) {
    case 6: dx = -width / 2; break; // TA_CENTER
    case 2: dx = -width; break;     // TA_RIGHT
    default: break;                 // TA_LEFT
    }
    double baseline = 0;
    switch (t.align & 24) {
    case 24: baseline = 0; break;       // TA_BASELINE
    case 8: baseline = descent; break;  // TA_BOTTOM
    default: baseline = -ascent; break; // TA_TOP
    }
    double angle = t.font.escapement / 10.0 * M_PI / 180.0;
    double cs = std::cos(angle), sn = std::sin(angle);
    if (t.font.escapement == 0) {
        cs = 1;
        sn = 0;
    }
    double px = originX + t.x * scaleX;
    double py = pageY - (originY + t.y * scaleY);

    c += "q " + num(cs) + " " + num(sn) + " " + num(-sn) + " " + num(cs) + " " + num(px) + " " + num(py) + " cm\n";
    if (t.opaque)
        c += colour(t.bkColor) + " rg " + num(dx) + " " + num(baseline - descent) + " " + num(width) + " " +
             num(ascent + descent) + " re f\n";
    std::string fill = colour(t.color);
    c += fill + " rg BT /" + enc.resourceName + " " + num(size) + " Tf ";
    // Faces without a bold or italic style are emboldened with an outline
    // stroke and slanted with a shear, as the system's text output does.
    if (enc.syntheticBold)
        c += "2 Tr " + num(size * 0.03) + " w " + fill + " RG ";
    if (enc.syntheticItalic)
        c += "1 0 0.2126 1 " + num(dx) + " " + num(baseline) + " Tm ";
    else
        c += num(dx) + " " + num(baseline) + " Td ";
    c += hexBytes(enc.bytes) + " Tj ET\n";
    if (t.font.underline)
        c += num(dx) + " " + num(baseline + (enc.underlinePosition - enc.underlineThickness / 2) * k) + " " +
             num(width) + " " + num(enc.underlineThickness * k) + " re f\n";
    if (t.font.strikeOut)
        c += num(dx) + " " + num(baseline + (enc.strikeoutPosition - enc.strikeoutThickness / 2) * k) + " " +
             num(width) + " " + num(enc.strikeoutThickness * k) + " re f\n";
    c += "Q\n";
}

void Engine::setDocumentInfo()
{
    auto info = QPDFObjectHandle::newDictionary();
    const std::pair<int32_t, const char *> fields[] = {
        {kTitle, "/Title"},     {kAuthor, "/Author"},     {kSubject, "/Subject"},
        {kKeywords, "/Keywords"}, {kProducer, "/Producer"},
    };
    for (auto [id, key] : fields)
        if (auto text = textProp(id); !text.empty())
            info.replaceKey(key, QPDFObjectHandle::newUnicodeString(text));
    std::string now = QUtil::qpdf_time_to_pdf_time(QUtil::get_current_qpdf_time());
    for (auto [id, key] : {std::pair<int32_t, const char *>{kCreationDate, "/CreationDate"}, {kModDate, "/ModDate"}}) {
        std::string date = textProp(id);
        info.replaceKey(key, QPDFObjectHandle::newString(plausiblePdfDate(date) ? date : now));
    }
    // Further lines "Name=Value" become entries of their own.
    std::istringstream lines(textProp(kExtraInfo));
    for (std::string line; std::getline(lines, line);) {
        auto eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            continue;
        std::string key;
        for (char ch : line.substr(0, eq))
            if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9'))
                key.push_back(ch);
        if (!key.empty() && !info.hasKey("/" + key))
            info.replaceKey("/" + key, QPDFObjectHandle::newUnicodeString(line.substr(eq + 1)));
    }
    pdf_->getTrailer().replaceKey("/Info", pdf_->makeIndirectObject(info));
}

void Engine::setViewerPreferences()
{
    auto root = pdf_->getRoot();
    switch (intProp(kPageMode)) {
    case 1: root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines")); break;
    case 2: root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseThumbs")); break;
    case 3: root.replaceKey("/PageMode", QPDFObjectHandle::newName("/FullScreen")); break;
    default: break;
    }
    const char *fit = nullptr;
    switch (intProp(kZoomMode)) {
    case 1: fit = "/Fit"; break;
    case 2: fit = "/FitV"; break;
    case 3: fit = "/FitH"; break;
    default: break;
    }
    auto pages = QPDFPageDocumentHelper(*pdf_).getAllPages();
    if (fit && !pages.empty()) {
        auto dest = QPDFObjectHandle::newArray();
        dest.appendItem(pages.front().getObjectHandle());
        dest.appendItem(QPDFObjectHandle::newName(fit));
        if (std::strcmp(fit, "/Fit") != 0)
            dest.appendItem(QPDFObjectHandle::newNull());
        root.replaceKey("/OpenAction", dest);
    }
}

int32_t Engine::endDocument()
{
    if (!pdf_) {
        report(kMsgError, "No document was begun.");
        return kFailed;
    }
    if (ended_)
        return kOk;
    if (page_)
        endPage();
    fonts_->finish();
    setDocumentInfo();
    setViewerPreferences();
    ended_ = true;
    return kOk;
}

void Engine::configureWriter(QPDFWriter &writer)
{
    if (intProp(kCompress) == 0)
        writer.setStreamDataMode(qpdf_s_preserve);
    // Streams are copied as they are, never decoded: a warning while writing
    // then always means data that could not be read, never a filter qpdf
    // gave up on and copied raw.
    writer.setDecodeLevel(qpdf_dl_none);
    int32_t bits = intProp(kEncryption);
    if (!(bits & kEncrypt))
        return;
    std::string user = textProp(kUserPassword);
    std::string owner = textProp(kOwnerPassword);
    // An empty owner password would hand everyone the owner's rights.
    if (owner.empty()) {
        if (user.empty()) {
            if (ownerFallback_.empty())
                ownerFallback_ = randomPassword();
            owner = ownerFallback_;
        } else {
            owner = user;
        }
    }
    bool print = bits & (kAllowPrint | kLowQualityPrint);
    bool change = bits & kAllowChange, copy = bits & kAllowCopy, forms = bits & kAllowForms;
    if (intProp(kSecurity) == 0) {
        writer.setR2EncryptionParametersInsecure(user.c_str(), owner.c_str(), print, change, copy, forms);
    } else {
        qpdf_r3_print_e printing = !print ? qpdf_r3p_none
                                   : (bits & kLowQualityPrint) ? qpdf_r3p_low
                                                               : qpdf_r3p_full;
        writer.setR3EncryptionParametersInsecure(user.c_str(), owner.c_str(), true, copy, change, forms, forms,
                                                 change, printing);
    }
}

std::string Engine::runWriter(const std::string &file, const std::function<void(QPDFWriter &)> &output,
                              const std::function<void(QPDFWriter &)> &written)
{
    size_t frontBefore = front_ ? front_->numWarnings() : 0;
    size_t ownBefore = pdf_->numWarnings();
    onLargeStack([&] {
        QPDFWriter writer(*pdf_);
        output(writer);
        configureWriter(writer);
        writer.write();
        if (written)
            written(writer);
    });
    // The front file's picture data are read only now; a warning on the way
    // means data that did not arrive.
    std::vector<QPDFExc> warnings;
    for (auto [pdf, before] : {std::pair<QPDF *, size_t>{front_.get(), frontBefore}, {pdf_.get(), ownBefore}})
        if (pdf && pdf->numWarnings() > before) {
            auto all = pdf->getWarnings();
            warnings.insert(warnings.end(), all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        }
    if (warnings.empty())
        return {};
    const std::string front = textProp(kInputFile);
    for (auto &w : warnings)
        if (front_ && w.getFilename() == front)
            return file + " was not written because the front PDF file \"" + front + "\" could not be read completely (" +
                   w.getMessageDetail() + "); leave the front file unchanged until the sheet is written.";
    return file + " could not be written: " + sentence(warnings.front().getMessageDetail());
}

int32_t Engine::writeFile(const char *fileName)
{
    if (!pdf_) {
        report(kMsgError, "There is no document to write.");
        return kFailed;
    }
    std::string target = fileName && *fileName ? fileName : fileName_;
    if (target.empty()) {
        report(kMsgError, "No file name was given for the PDF file.");
        return kFailed;
    }
    if (std::string problem = OutputFile::problem(target); !problem.empty()) {
        report(kMsgError, problem);
        return kFailed;
    }
    if (endDocument() != kOk)
        return kFailed;
    if (target != fileName_)
        OutputFile::removeStalePartials(target);

    // The earlier file of that name stays as it is unless the new one is
    // complete on disk.
    std::string problem;
    try {
        OutputFile file(target);
        FileSink sink(file.fd());
        problem = runWriter("The PDF file \"" + target + "\"",
                            [&sink](QPDFWriter &writer) { writer.setOutputPipeline(&sink); });
        sink.finish();
        if (problem.empty() && !sink.failure().empty())
            throw std::runtime_error(sink.failure());
        if (problem.empty())
            file.commit(sink.written());
    } catch (std::exception &e) {
        problem = "The PDF file \"" + target + "\" could not be written: " + sentence(e.what());
    }
    if (!problem.empty()) {
        report(kMsgError, problem);
        return kFailed;
    }
    return kOk;
}

intptr_t Engine::memoryCopy(intptr_t size, void *buffer)
{
    if (!pdf_)
        return 0;
    if (!memory_) {
        if (endDocument() != kOk)
            return 0;
        std::shared_ptr<Buffer> written;
        std::string problem;
        try {
            problem = runWriter(
                "The PDF file in memory", [](QPDFWriter &writer) { writer.setOutputMemory(); },
                [&written](QPDFWriter &writer) { written = writer.getBufferSharedPointer(); });
        } catch (std::exception &e) {
            problem = "The PDF file in memory could not be made: " + sentence(e.what());
        }
        if (!problem.empty()) {
            report(kMsgError, problem);
            return 0;
        }
        memory_ = written;
    }
    if (!buffer || size <= 0)
        return static_cast<intptr_t>(memory_->getSize());
    size_t n = std::min<size_t>(static_cast<size_t>(size), memory_->getSize());
    std::memcpy(buffer, memory_->getBuffer(), n);
    return static_cast<intptr_t>(n);
}

int32_t Engine::closeDocument()
{
    page_.reset();
    fonts_.reset();
    memory_.reset();
    pdf_.reset();
    front_.reset();
    spool_.reset();
    ended_ = false;
    return kOk;
}

} // namespace wpdf
