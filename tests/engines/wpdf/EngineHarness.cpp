#include "EngineHarness.h"

#include <gtest/gtest.h>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <jpeglib.h>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace wpdftest {

const EngineLibrary &EngineLibrary::get()
{
    static EngineLibrary lib = [] {
        EngineLibrary l;
        const char *bin = std::getenv("TESSORY_BIN");
        std::string path = bin && *bin ? std::string(bin) + "/wPDF200A.so" : std::string(WPDF_LIBRARY_PATH);
        void *dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!dl) {
            std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
            std::abort();
        }
        auto need = [dl](const char *name) {
            void *p = dlsym(dl, name);
            if (!p) {
                std::fprintf(stderr, "entry point %s missing\n", name);
                std::abort();
            }
            return p;
        };
        l.initialize = reinterpret_cast<decltype(l.initialize)>(need("WPPDF_Initialize"));
        l.finalize = reinterpret_cast<decltype(l.finalize)>(need("WPPDF_Finalize"));
        l.setIProp = reinterpret_cast<decltype(l.setIProp)>(need("WPPDF_SetIProp"));
        l.setSProp = reinterpret_cast<decltype(l.setSProp)>(need("WPPDF_SetSProp"));
        l.action = reinterpret_cast<decltype(l.action)>(need("WPPDF_Action"));
        l.initializePage = reinterpret_cast<decltype(l.initializePage)>(need("WPPDF_InitializePage"));
        l.processPdf = reinterpret_cast<decltype(l.processPdf)>(need("WPPDF_ProcessPDF"));
        l.wptexec = reinterpret_cast<decltype(l.wptexec)>(need("_WPPDF_WPTEXEC"));
        return l;
    }();
    return lib;
}

EngineRun::EngineRun()
{
    handle_ = EngineLibrary::get().initialize(0, 0, 0, 1, &EngineRun::onCallback, this);
    EXPECT_NE(handle_, 0);
}

EngineRun::~EngineRun() { EngineLibrary::get().finalize(handle_); }

int32_t EngineRun::onCallback(void *component, int32_t kind, int32_t value, void *data)
{
    auto *self = static_cast<EngineRun *>(component);
    std::string text = (kind == 1 && data) ? static_cast<const char *>(data) : "";
    if (std::getenv("WPDF_TEST_VERBOSE"))
        std::fprintf(stderr, "engine message %d/%d: %s\n", kind, value, text.c_str());
    self->messages_.push_back(Message{kind, value, text});
    return 0;
}

bool EngineRun::hasMessage(int32_t kind) const
{
    for (auto &m : messages_)
        if (m.kind == kind)
            return true;
    return false;
}

void EngineRun::send(const Settings &s)
{
    auto &l = EngineLibrary::get();
    const std::pair<int32_t, int32_t> ints[] = {
        {1, 0}, {2, s.compress}, {3, s.pageMode}, {14, s.zoom}, {4, s.fontMode}, {6, 0},
        {7, s.encryption}, {15, s.security}, {12, 0}, {25, 0}, {26, 0x08 | 0x10 | 0x80 | 0x2000},
        {27, 0}, {9, 0}, {8, s.inputFileMode}, {21, 0}};
    for (auto [id, v] : ints)
        l.setIProp(handle_, id, v);
    const std::pair<int32_t, const std::string *> texts[] = {
        {1, &s.author}, {2, &s.creationDate}, {3, &s.modDate}, {4, &s.producer}, {5, &s.title},
        {6, &s.subject}, {7, &s.keywords}, {9, &s.excludedFonts}, {11, &s.userPassword},
        {10, &s.ownerPassword}, {12, &s.inputFile}};
    for (auto [id, t] : texts)
        l.setSProp(handle_, id, t->c_str());
    l.setSProp(handle_, 14, "");
    l.setIProp(handle_, 10, 200);
}

intptr_t EngineRun::action(int32_t id, intptr_t argument, void *record)
{
    return EngineLibrary::get().action(handle_, id, argument, record);
}

intptr_t EngineRun::begin(const std::string &file)
{
    return action(4533, reinterpret_cast<intptr_t>(file.c_str()));
}

intptr_t EngineRun::page(int32_t width, int32_t height)
{
    unsigned char record[37] = {};
    uint32_t fixed = 0x80000010u;
    std::memcpy(record + 0, &width, 4);
    std::memcpy(record + 4, &height, 4);
    int32_t res = 72;
    std::memcpy(record + 8, &res, 4);
    std::memcpy(record + 12, &res, 4);
    std::memcpy(record + 20, &fixed, 4);
    EngineLibrary::get().initializePage(handle_, 0, record);
    return action(4535);
}

int32_t EngineRun::image(int32_t x, int32_t y, int32_t w, int32_t h, const std::string &data, int32_t kind,
                         int32_t pixelW, int32_t pixelH)
{
    unsigned char record[64] = {};
    const void *ptr = data.empty() ? nullptr : data.data();
    int32_t length = static_cast<int32_t>(data.size());
    std::memcpy(record + 0, &x, 4);
    std::memcpy(record + 4, &y, 4);
    std::memcpy(record + 8, &w, 4);
    std::memcpy(record + 12, &h, 4);
    std::memcpy(record + 32, &ptr, 8);
    std::memcpy(record + 40, &length, 4);
    std::memcpy(record + 44, &kind, 4);
    std::memcpy(record + 48, &pixelW, 4);
    std::memcpy(record + 52, &pixelH, 4);
    intptr_t returned = action(4549, 0, record);
    int32_t result;
    std::memcpy(&result, record + 16, 4);
    EXPECT_EQ(returned, result) << "the action's result and the record's result differ";
    return result;
}

int32_t EngineRun::imageFile(int32_t x, int32_t y, int32_t w, int32_t h, const std::string &path)
{
    unsigned char record[64] = {};
    const int32_t kind = 2;
    std::memcpy(record + 0, &x, 4);
    std::memcpy(record + 4, &y, 4);
    std::memcpy(record + 8, &w, 4);
    std::memcpy(record + 12, &h, 4);
    std::memcpy(record + 44, &kind, 4);
    const intptr_t returned = action(4550, reinterpret_cast<intptr_t>(path.c_str()), record);
    int32_t result;
    std::memcpy(&result, record + 16, 4);
    EXPECT_EQ(returned, result) << "the action's result and the record's result differ";
    return result;
}

intptr_t EngineRun::metafile(const std::string &emf, int32_t x, int32_t y, int32_t res)
{
    unsigned char record[576] = {};
    std::memcpy(record + 8, &x, 4);
    std::memcpy(record + 12, &y, 4);
    std::memcpy(record + 24, &res, 4);
    std::memcpy(record + 28, &res, 4);
    return action(4544, reinterpret_cast<intptr_t>(emf.data()), record);
}

intptr_t EngineRun::endPage() { return action(4536); }

intptr_t EngineRun::finish(const std::string &file)
{
    EXPECT_EQ(action(4534), 0);
    intptr_t written = action(4538, 0, const_cast<char *>(file.c_str()));
    EXPECT_EQ(action(4539), 0);
    return written;
}

std::array<int, 3> colourFor(int number)
{
    return {(number * 37) % 256, (number * 91 + 40) % 256, (number * 53 + 200) % 256};
}

std::string makeJpeg(int width, int height, int number, int components, bool noisy, int quality)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    auto c = colourFor(number);
    std::mt19937 random(static_cast<unsigned>(number));
    std::vector<unsigned char> row(static_cast<size_t>(width * components));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < components; ++k)
                row[static_cast<size_t>(x * components + k)] =
                    noisy ? static_cast<unsigned char>(random()) : static_cast<unsigned char>(c[k % 3]);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<char *>(buffer), size);
    std::free(buffer);
    return out;
}

std::string le32(uint32_t v)
{
    std::string s(4, '\0');
    std::memcpy(s.data(), &v, 4);
    return s;
}

std::string EmfBuilder::record(uint32_t type, const std::string &body)
{
    std::string padded = body;
    while (padded.size() % 4)
        padded.push_back('\0');
    return le32(type) + le32(static_cast<uint32_t>(8 + padded.size())) + padded;
}

EmfBuilder::EmfBuilder(int32_t widthPt, int32_t heightPt)
{
    // EMR_HEADER of 88 bytes: bounds, frame (0.01 mm), signature, version,
    // totals (patched in bytes()), handles, description, palette, device sizes.
    std::string h;
    h += le32(0) + le32(0) + le32(static_cast<uint32_t>(widthPt - 1)) + le32(static_cast<uint32_t>(heightPt - 1));
    h += le32(0) + le32(0) + le32(static_cast<uint32_t>(widthPt * 2540 / 72)) +
         le32(static_cast<uint32_t>(heightPt * 2540 / 72));
    h += le32(0x464D4520) + le32(0x10000) + le32(0) + le32(0);
    h += std::string("\x10\0\0\0", 4);                 // nHandles, reserved
    h += le32(0) + le32(0) + le32(0);                   // description, palette
    h += le32(static_cast<uint32_t>(widthPt)) + le32(static_cast<uint32_t>(heightPt));
    h += le32(static_cast<uint32_t>(widthPt * 254 / 720)) + le32(static_cast<uint32_t>(heightPt * 254 / 720));
    header_ = record(1, h);
}

EmfBuilder &EmfBuilder::raw(const std::string &r)
{
    records_ += r;
    ++count_;
    return *this;
}

EmfBuilder &EmfBuilder::font(uint32_t id, int32_t height, const std::u16string &face, int32_t weight,
                             bool italic, bool underline, bool strikeOut, int32_t escapement)
{
    std::string lf;
    lf += le32(static_cast<uint32_t>(height)) + le32(0) + le32(static_cast<uint32_t>(escapement)) +
          le32(static_cast<uint32_t>(escapement)) + le32(static_cast<uint32_t>(weight));
    lf.push_back(italic ? 1 : 0);
    lf.push_back(underline ? 1 : 0);
    lf.push_back(strikeOut ? 1 : 0);
    lf.push_back(1);  // DEFAULT_CHARSET
    lf += std::string(4, '\0');
    std::string name(64, '\0');
    for (size_t i = 0; i < face.size() && i < 31; ++i) {
        name[2 * i] = static_cast<char>(face[i] & 0xFF);
        name[2 * i + 1] = static_cast<char>(face[i] >> 8);
    }
    lf += name;
    return raw(record(82, le32(id) + lf));
}

EmfBuilder &EmfBuilder::select(uint32_t id) { return raw(record(37, le32(id))); }
EmfBuilder &EmfBuilder::deleteObject(uint32_t id) { return raw(record(40, le32(id))); }
EmfBuilder &EmfBuilder::textColor(uint32_t c) { return raw(record(24, le32(c))); }
EmfBuilder &EmfBuilder::textAlign(uint32_t a) { return raw(record(22, le32(a))); }
EmfBuilder &EmfBuilder::bkMode(uint32_t m) { return raw(record(18, le32(m))); }

EmfBuilder &EmfBuilder::text(int32_t x, int32_t y, const std::u16string &s)
{
    std::string body;
    body += le32(0) + le32(0) + le32(0) + le32(0); // bounds
    body += le32(1);                               // GM_COMPATIBLE
    body += le32(0) + le32(0);                     // scales
    body += le32(static_cast<uint32_t>(x)) + le32(static_cast<uint32_t>(y));
    body += le32(static_cast<uint32_t>(s.size()));
    body += le32(76);                              // offString: right after the fixed part
    body += le32(0);                               // options
    body += le32(0) + le32(0) + le32(0) + le32(0); // rectangle
    uint32_t offDx = 76 + static_cast<uint32_t>((s.size() * 2 + 3) / 4 * 4);
    body += le32(offDx);
    for (char16_t c : s) {
        body.push_back(static_cast<char>(c & 0xFF));
        body.push_back(static_cast<char>(c >> 8));
    }
    while ((body.size() + 8) % 4)
        body.push_back('\0');
    for (size_t i = 0; i < s.size(); ++i)
        body += le32(6);
    return raw(record(84, body));
}

std::string EmfBuilder::bytes() const
{
    std::string eof = record(14, le32(0) + le32(16) + le32(20));
    std::string all = header_ + records_ + eof;
    uint32_t total = static_cast<uint32_t>(all.size()), count = count_ + 1;
    std::memcpy(all.data() + 48, &total, 4);
    std::memcpy(all.data() + 52, &count, 4);
    return all;
}

TempDir::TempDir()
{
    // A library that cannot be loaded aborts the program; do that before any
    // folder exists, so none is left behind.
    EngineLibrary::get();
    std::string pattern = (std::filesystem::temp_directory_path() / "wpdf-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data()))
        std::abort();
    path_ = name.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::entries(const std::string &folder) const
{
    std::vector<std::string> out;
    for (auto &e : std::filesystem::directory_iterator(path_ / folder))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

CommandResult shell(const std::string &command)
{
    CommandResult r{-1, {}};
    FILE *p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string quote(const std::string &s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

ChildResult inChild(const std::function<std::string()> &body, int timeoutSeconds,
                    const std::function<void(int pid)> &meanwhile)
{
    int out[2];
    if (pipe(out) != 0)
        return {false, "no pipe", {}};
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        ::close(out[0]);
        alarm(static_cast<unsigned>(timeoutSeconds)); // a hang ends with SIGALRM
        std::string text;
        try {
            text = body();
        } catch (std::exception &e) {
            text = std::string("exception: ") + e.what();
        }
        _exit(::write(out[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 3);
    }
    ::close(out[1]);
    if (pid > 0 && meanwhile)
        meanwhile(pid);
    ChildResult r;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;)
        if (n > 0)
            r.output.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR)
            break;
    ::close(out[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return {false, "no child", r.output};
    r.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.status = WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                   : "exit status " + std::to_string(WEXITSTATUS(status));
    return r;
}

std::string Outcome::encode() const
{
    std::string s = std::to_string(result) + "\n";
    for (auto &m : messages)
        s += std::to_string(m.kind) + " " + std::to_string(m.value) + " " + m.text + "\n";
    return s;
}

Outcome Outcome::decode(const std::string &text)
{
    Outcome o;
    std::istringstream in(text);
    std::string line;
    if (std::getline(in, line) && !line.empty() && line.find_first_not_of("-0123456789") == std::string::npos)
        o.result = std::stoll(line);
    for (Message m{}; in >> m.kind >> m.value && std::getline(in.ignore(1), m.text);)
        o.messages.push_back(m);
    return o;
}

PdfFile::PdfFile(const std::string &path, const std::string &password)
{
    pdf.processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
}

std::vector<QPDFObjectHandle> PdfFile::pages() { return pdf.getAllPages(); }

std::array<double, 4> PdfFile::mediaBox(int pageIndex)
{
    auto box = pages().at(static_cast<size_t>(pageIndex)).getKey("/MediaBox");
    std::array<double, 4> out{};
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = box.getArrayItem(i).getNumericValue();
    return out;
}

std::map<std::string, QPDFObjectHandle> PdfFile::images(int pageIndex)
{
    return QPDFPageObjectHelper(pages().at(static_cast<size_t>(pageIndex))).getImages();
}

std::string PdfFile::content(int pageIndex)
{
    Pl_Buffer buffer("content");
    QPDFPageObjectHelper(pages().at(static_cast<size_t>(pageIndex))).pipeContents(&buffer);
    auto b = buffer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char *>(b->getBuffer()), b->getSize());
}

std::map<std::string, Placement> PdfFile::placements(int pageIndex)
{
    std::map<std::string, Placement> out;
    std::istringstream in(content(pageIndex));
    std::vector<std::string> operands;
    Placement current{1, 0, 0, 1, 0, 0};
    for (std::string tok; in >> tok;) {
        if (tok == "cm" && operands.size() >= 6) {
            auto n = operands.size();
            current = {std::stod(operands[n - 6]), std::stod(operands[n - 5]), std::stod(operands[n - 4]),
                       std::stod(operands[n - 3]), std::stod(operands[n - 2]), std::stod(operands[n - 1])};
        } else if (tok == "Do" && !operands.empty()) {
            out[operands.back()] = current;
        }
        if (std::isalpha(static_cast<unsigned char>(tok[0])) && tok != "cm")
            operands.clear();
        else if (tok != "cm")
            operands.push_back(tok);
        else
            operands.clear();
    }
    return out;
}

std::string PdfFile::info(const std::string &key)
{
    auto info = pdf.getTrailer().getKey("/Info");
    if (!info.isDictionary() || !info.getKey(key).isString())
        return {};
    return info.getKey(key).getUTF8Value();
}

std::vector<Word> wordsOnPage(const std::string &pdfPath, int page)
{
    auto r = shell("pdftotext -bbox -f " + std::to_string(page) + " -l " + std::to_string(page) + " " +
                   quote(pdfPath) + " -");
    std::vector<Word> words;
    auto attribute = [](const std::string &line, const std::string &name) {
        auto at = line.find(name + "=\"");
        return at == std::string::npos ? 0.0 : std::stod(line.substr(at + name.size() + 2));
    };
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);) {
        auto open = line.find("<word ");
        auto close = line.find("</word>");
        if (open == std::string::npos || close == std::string::npos)
            continue;
        auto textStart = line.find('>', open) + 1;
        words.push_back(Word{line.substr(textStart, close - textStart), attribute(line, "xMin"),
                             attribute(line, "yMin"), attribute(line, "xMax"), attribute(line, "yMax")});
    }
    return words;
}

} // namespace wpdftest
