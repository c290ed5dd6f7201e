#include "pdfengine/WPPDFR1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <cstdio>

#include "platform/FileVersion.h"
#include "platform/Module.h"
#include "platform/Shell.h"

using namespace wppdf;

namespace {

QString &fixedLibraryPath()
{
    static QString path;
    return path;
}

// Any address inside this program or library, to find the folder it lies in.
const char moduleAnchor = 0;

QString notFoundText(const QString &name)
{
    return QStringLiteral("DLL \"%1\" was not found. PDF Export is not possible.").arg(name);
}

QString notCompatibleText(const QString &name)
{
    return QStringLiteral("DLL \"%1\" is not compatible. PDF Export is not possible.").arg(name);
}

template <typename Fn>
void resolve(const platform::Module &library, const char *name, Fn &entry)
{
    entry = reinterpret_cast<Fn>(library.symbol(name));
}

bool resolveEntries(const platform::Module &library, TWPPDFEntries &e)
{
    resolve(library, "WPPDF_Initialize", e.Initialize);
    resolve(library, "WPPDF_Finalize", e.Finalize);
    resolve(library, "WPPDF_ProcessPDF", e.ProcessPDF);
    resolve(library, "WPPDF_SetSProp", e.SetSProp);
    resolve(library, "WPPDF_SetIProp", e.SetIProp);
    resolve(library, "WPPDF_Action", e.Action);
    resolve(library, "WPPDF_InitializePage", e.InitializePage);
    resolve(library, "_WPPDF_WPTEXEC", e.WPTExec);
    return e.Initialize && e.Finalize && e.SetSProp && e.SetIProp && e.Action && e.InitializePage && e.WPTExec;
}

QByteArray pdfDate(const QDateTime &t)
{
    if (!t.isValid())
        return QByteArray();
    const QDate d = t.date();
    const QTime c = t.time();
    char text[64];
    std::snprintf(text, sizeof text, "D:%d%.2d%.2d%.2d%.2d%.2d", d.year(), d.month(), d.day(), c.hour(), c.minute(),
                  c.second());
    return QByteArray(text);
}

} // namespace

// ---------------------------------------------------------------------------
// Loading

TWPPDFEngineLink::TWPPDFEngineLink() = default;

TWPPDFEngineLink::~TWPPDFEngineLink()
{
    UnloadEngine(*this);
}

QString EngineFileName(const QString &libraryName)
{
    QString base = libraryName;
    if (base.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        base.chop(4);
    else if (base.endsWith(QLatin1String(".so")))
        return base;
    return base + QLatin1String(".so");
}

QStringList EngineLibraryCandidates(const QString &libraryName)
{
    QString self = platform::modulePathOf(&moduleAnchor);
    if (self.isEmpty())
        self = platform::ownExecutablePath();
    const QString file = EngineFileName(libraryName);
    QStringList candidates;
    if (!self.isEmpty())
        candidates << QFileInfo(self).absoluteDir().filePath(file);
    candidates << file;
    return candidates;
}

void SetEngineLibraryPath(const QString &path)
{
    fixedLibraryPath() = path;
}

QString EngineLibraryPath()
{
    return fixedLibraryPath();
}

bool LoadEngine(TWPPDFEngineLink &link, const QString &libraryName)
{
    if (link.Library)
        return true;
    std::unique_ptr<platform::Module> library;
    QString error;
    if (!fixedLibraryPath().isEmpty()) {
        library = platform::Module::load(fixedLibraryPath(), &error);
    } else {
        // The program's own copy wins; a plain name goes through the system's search.
        const QStringList candidates = EngineLibraryCandidates(libraryName);
        const QString &path = candidates.size() > 1 && QFileInfo::exists(candidates.first()) ? candidates.first()
                                                                                            : candidates.last();
        library = platform::Module::load(path, &error);
    }
    if (!library)
        throw EWPPDFError(notFoundText(libraryName), error);
    TWPPDFEntries entries;
    if (!resolveEntries(*library, entries))
        throw EWPPDFError(notCompatibleText(libraryName)); // the library is freed on the way out
    link.Library = std::move(library);
    link.Entries = entries;
    link.OwnsEngine = true;
    link.Nesting = 0;
    return true;
}

void UnloadEngine(TWPPDFEngineLink &link)
{
    // An instance must never outlive the code it runs in.
    if (link.Engine && link.OwnsEngine && link.Entries.Finalize)
        link.Entries.Finalize(link.Engine);
    link.Engine = 0;
    link.OwnsEngine = false;
    link.Entries = TWPPDFEntries();
    link.Library.reset();
}

// ---------------------------------------------------------------------------
// The component

TWPPDFExportInfo::TWPPDFExportInfo()
    : Producer(QStringLiteral("Tessory PDF Engine")),
      CreationDate(QDateTime::currentDateTime()),
      ModDate(CreationDate)
{
}

TWPCustomPDFExport::TWPCustomPDFExport() : m_info(std::make_unique<TWPPDFExportInfo>()) {}

TWPCustomPDFExport::~TWPCustomPDFExport()
{
    DiscardCanvas();
    UnloadEngine(m_link);
}

int32_t TWPCustomPDFExport::EngineCallback(void *component, int32_t kind, int32_t value, void *data)
{
    auto *self = static_cast<TWPCustomPDFExport *>(component);
    if (!self)
        return 0;
    // The engine's C code must never see an exception; it is raised once
    // the engine call has returned.
    try {
        return self->HandleCallback(kind, value, data);
    } catch (...) {
        if (!self->m_pendingError)
            self->m_pendingError = std::current_exception();
    }
    return 0;
}

int32_t TWPCustomPDFExport::HandleCallback(int32_t kind, int32_t value, void *data)
{
    switch (kind) {
    case cbMessage: {
        m_lastEngineMessage = data ? QString::fromUtf8(static_cast<const char *>(data)) : QString();
        if (m_onError)
            m_onError(this, m_lastEngineMessage, value);
        return 0;
    }
    case cbInputPageCount:
        m_inputPageCount = value;
        return 0;
    case cbMergeText:
        if (m_onMergeText && m_link.Engine) {
            const QString name = data ? QString::fromUtf8(static_cast<const char *>(data)) : QString();
            QString text;
            m_onMergeText(this, name, text);
            SetSProp(spMergeText, text.toUtf8());
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

void TWPCustomPDFExport::RaisePendingError()
{
    if (m_pendingError) {
        std::exception_ptr e = std::exchange(m_pendingError, nullptr);
        std::rethrow_exception(e);
    }
}

void TWPCustomPDFExport::SetIProp(int32_t id, int32_t value)
{
    m_link.Entries.SetIProp(m_link.Engine, id, value);
}

void TWPCustomPDFExport::SetSProp(int32_t id, const QByteArray &text)
{
    m_link.Entries.SetSProp(m_link.Engine, id, text.constData());
}

intptr_t TWPCustomPDFExport::Action(int32_t id, intptr_t argument, void *record)
{
    return m_link.Entries.Action(m_link.Engine, id, argument, record);
}

void TWPCustomPDFExport::FinalizeEngine()
{
    if (m_link.Engine && m_link.Entries.Finalize)
        m_link.Entries.Finalize(m_link.Engine);
    m_link.Engine = 0;
}

void TWPCustomPDFExport::DiscardCanvas()
{
    m_canvas.reset();
}

void TWPCustomPDFExport::Report(const QString &message, int value)
{
    if (m_onError)
        m_onError(this, message, value);
}

void TWPCustomPDFExport::SetModes(TWPDevModes v)
{
    // The two high-resolution modes exclude each other; the one newly asked for wins.
    if (v.Contains(wpNeverHighResPDF) && !m_modes.Contains(wpNeverHighResPDF))
        v.Exclude(wpAlwaysHighResPDF);
    if (v.Contains(wpAlwaysHighResPDF))
        v.Exclude(wpNeverHighResPDF);
    m_modes = v;
    if (m_link.Engine)
        SetIProp(ipModes, int32_t(m_modes.Bits()));
}

void TWPCustomPDFExport::SetOptions(TWPDFOptions v)
{
    m_options = v;
    if (m_link.Engine)
        SetIProp(ipOptions, int32_t(m_options.Bits()));
}

void TWPCustomPDFExport::SetJPEGQuality(TWPJPEGQuality v)
{
    m_jpegQuality = v;
    if (m_link.Engine)
        SetIProp(ipJPEGQuality, int32_t(v) & 127);
}

void TWPCustomPDFExport::SetMergeStart(const QString &v)
{
    m_mergeStart = v;
    if (m_link.Engine)
        SetSProp(spMergeStart, v.toUtf8());
}

void TWPCustomPDFExport::SendProperties()
{
    SetIProp(ipEncodeStreamMethod, m_encode);
    SetIProp(ipCompressStreamMethod, m_compress);
    SetIProp(ipPageMode, m_pageMode);
    SetIProp(ipZoomMode, m_zoomMode);
    SetIProp(ipFontMode, m_fontMode);
    SetIProp(ipConvertJPEGData, m_convertJpeg ? 1 : 0);
    SetIProp(ipEncryption, int32_t(m_encryption.Bits()));
    SetIProp(ipSecurity, m_security == wpp128bit ? 1 : 0);
    SetIProp(ipJPEGQuality, m_jpegQuality);
    SetIProp(ipCreateThumbnails, m_createThumbnails ? 1 : 0);
    SetIProp(ipModes, int32_t(m_modes.Bits()));
    SetIProp(ipOptions, int32_t(m_options.Bits()));
    SetIProp(ipPDFReadMode, m_readMode);
    SetIProp(ipInputfileMode, m_readMode != wpdfStandard ? 2 : int32_t(m_inputfileMode));
    SetIProp(ipExtraMessages, m_extraMessages.Contains(wpOnEmbedFonts) ? 1 : 0);

    SetSProp(spAuthor, m_info->Author.toUtf8());
    SetSProp(spCreationDate, pdfDate(m_info->CreationDate));
    SetSProp(spModDate, pdfDate(m_info->ModDate));
    SetSProp(spProducer, m_info->Producer.toUtf8());
    SetSProp(spTitle, m_info->Title.toUtf8());
    SetSProp(spSubject, m_info->Subject.toUtf8());
    SetSProp(spKeywords, m_info->Keywords.toUtf8());
    SetSProp(spExcludedFonts, m_excludedFonts.join(QLatin1Char('\n')).toUtf8());
    SetSProp(spUserPassword, m_userPassword.toUtf8());
    SetSProp(spOwnerPassword, m_ownerPassword.toUtf8());
    SetSProp(spInputFile, QFile::encodeName(m_inputFile));
    SetSProp(spMergeStart, m_mergeStart.toUtf8());
    if (!m_info->Strings.isEmpty())
        SetSProp(spExtraInfo, m_info->Strings.join(QLatin1Char('\n')).toUtf8());

    SetIProp(ipVersion, kVersionValue);
}

void TWPCustomPDFExport::BeginDoc()
{
    m_pageRecord.ResolutionX = m_resolutionX;
    m_pageRecord.ResolutionY = m_resolutionY;
    if (m_filename.isEmpty() && !m_inMemory && m_readMode == wpdfStandard)
        throw EWPPDFError(QStringLiteral("No filename or InMemoryMode was specified!"));
    if (m_inDoc)
        return;

    LoadEngine(m_link);
    FinalizeEngine(); // a left-over instance of an earlier document
    m_pendingError = nullptr;
    m_lastEngineMessage.clear();
    m_link.Engine = m_link.Entries.Initialize(0, 0, 0, 1, &TWPCustomPDFExport::EngineCallback, this);
    if (!m_link.Engine) {
        RaisePendingError();
        throw EWPPDFError(QStringLiteral("Initialization of PDF Engine failed"), m_lastEngineMessage);
    }

    m_pageCounter = 0;
    m_inputPageCount = 0;
    m_memoryDocument.clear();
    if (m_onUpdateGauge)
        m_onUpdateGauge(this, 0);
    if (m_beforeBeginDoc)
        m_beforeBeginDoc(this);

    SendProperties();

    const QByteArray name = QFile::encodeName(m_filename);
    const bool toFile = !m_inMemory && !name.isEmpty();
    m_lastEngineMessage.clear();
    if (Action(acBeginDoc, toFile ? reinterpret_cast<intptr_t>(name.constData()) : 0, nullptr) != 0) {
        // Nothing was begun, so the instance is of no further use.
        FinalizeEngine();
        RaisePendingError();
        throw EWPPDFError(QStringLiteral("Error in BeginDoc!"), m_lastEngineMessage);
    }
    m_inDoc = true;
    ++m_link.Nesting;
    // Both references draw in page points here, so neither needs a device.
    if (m_afterBeginDoc)
        m_afterBeginDoc(this);
    RaisePendingError();
}

void TWPCustomPDFExport::StartPage(int width, int height, int pageValue, int resolutionX, int resolutionY)
{
    if (!m_inDoc)
        throw EWPPDFError(QStringLiteral("StartPage is only allowed within StartDoc and EndDoc!"));
    // A page left open would otherwise lose what was drawn on its canvas.
    if (m_inPage)
        EndPage();
    m_pageWidth = width;
    m_pageHeight = height;
    m_resolutionX = resolutionX > 0 ? resolutionX : 72;
    m_resolutionY = resolutionY > 0 ? resolutionY : 72;
    DiscardCanvas();

    m_pageRecord.Width = width;
    m_pageRecord.Height = height;
    m_pageRecord.ResolutionX = m_resolutionX;
    m_pageRecord.ResolutionY = m_resolutionY;
    m_pageRecord.PageValue = pageValue;
    m_pageRecord.CreateThumbnails = m_createThumbnails ? 1 : 0;
    m_link.Entries.InitializePage(m_link.Engine, 0, &m_pageRecord);
    ++m_pageCounter;
    m_lastEngineMessage.clear();
    if (Action(acBeginPage, 0, nullptr) != 0) {
        // Drawing on a page that does not exist would vanish without a word.
        RaisePendingError();
        throw EWPPDFError(m_lastEngineMessage.isEmpty() ? QStringLiteral("Error in StartPage!") : m_lastEngineMessage,
                          m_lastEngineMessage);
    }
    m_inPage = true;
    RaisePendingError();
}

TCanvas &TWPCustomPDFExport::Canvas()
{
    if (!m_inPage)
        throw EWPPDFError(QStringLiteral("The page canvas is only available between StartPage and EndPage!"));
    if (!m_canvas) {
        const double inchesX = double(m_pageWidth) / m_resolutionX;
        const double inchesY = double(m_pageHeight) / m_resolutionY;
        const QSize frame(int(std::lround(inchesX * 2540)), int(std::lround(inchesY * 2540)));
        const QSize points(int(std::lround(inchesX * 72)), int(std::lround(inchesY * 72)));
        m_canvas = std::make_unique<TMetafileCanvas>(points, frame);
    }
    return *m_canvas;
}

int TWPCustomPDFExport::DrawJPEG(int x, int y, int kind, int length, const void *data, int pixelWidth,
                                 int pixelHeight, int displayHeight, int displayWidth)
{
    static constexpr int32_t kRecordKinds[] = {2, 7, 6};
    if (length < 1)
        return -1;
    if (kind < 0 || kind > 2 || !data || !m_inDoc)
        return -1;
    TWPPDFImageRecord record;
    record.X = x;
    record.Y = y;
    record.DisplayWidth = displayWidth;
    record.DisplayHeight = displayHeight;
    record.Data = data;
    record.Length = length;
    record.Kind = kRecordKinds[kind];
    record.PixelWidth = pixelWidth;
    record.PixelHeight = pixelHeight;
    Action(acDrawImage, 0, &record);
    RaisePendingError();
    return record.Result;
}

int TWPCustomPDFExport::DrawJPEGFile(int x, int y, const QString &file, int pixelWidth, int pixelHeight,
                                     int displayHeight, int displayWidth)
{
    if (file.isEmpty() || !m_inDoc)
        return -1;
    const QByteArray name = QFile::encodeName(file);
    TWPPDFImageRecord record;
    record.X = x;
    record.Y = y;
    record.DisplayWidth = displayWidth;
    record.DisplayHeight = displayHeight;
    record.Kind = 2; // JPEG
    record.PixelWidth = pixelWidth;
    record.PixelHeight = pixelHeight;
    Action(acDrawImageFile, reinterpret_cast<intptr_t>(name.constData()), &record);
    RaisePendingError();
    return record.Result;
}

int TWPCustomPDFExport::DrawMetafile(int x, int y, int resolutionX, int resolutionY, const QByteArray &metafile,
                                     int width, int height)
{
    if (!m_inDoc)
        return -1;
    // The engine reads as many bytes as the header declares.
    if (emf::DeclaredSize(metafile.constData(), metafile.size()) == 0)
        return -1;
    TWPPDFMetafileRecord record;
    record.X = x;
    record.Y = y;
    record.Width = width;
    record.Height = height;
    record.ResolutionX = resolutionX;
    record.ResolutionY = resolutionY;
    if (m_debugMode)
        WriteDebugMetafile(metafile);
    const intptr_t result = Action(acDrawMetafile, reinterpret_cast<intptr_t>(metafile.constData()), &record);
    RaisePendingError();
    return int(result);
}

void TWPCustomPDFExport::WriteDebugMetafile(const QByteArray &metafile)
{
    const QString folder = m_debugMetafilePath.isEmpty()
                               ? QFileInfo(platform::ownExecutablePath()).absolutePath() + QLatin1String("/Debug")
                               : m_debugMetafilePath;
    const QString path = QDir(folder).filePath(QStringLiteral("Page%1.EMF").arg(m_pageCounter));
    QDir().mkpath(folder);
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(metafile) == metafile.size() && file.commit();
    if (ok)
        Report(QStringLiteral("Wrote debug file: ") + path, 2);
    else
        Report(QStringLiteral("Problem while writing debug file: ") + path, 1);
}

void TWPCustomPDFExport::EndPage()
{
    if (m_canvas) {
        const int density = m_canvas->PixelsPerInch();
        const QByteArray metafile = m_canvas->Bytes();
        DiscardCanvas();
        DrawMetafile(0, 0, density, density, metafile, 0, 0);
    }
    m_inPage = false;
    if (m_link.Engine)
        Action(acEndPage, 0, nullptr);
    RaisePendingError();
}

void TWPCustomPDFExport::EndDoc()
{
    if (!m_inDoc || !m_link.Engine)
        return;
    if (m_beforeEndDoc)
        m_beforeEndDoc(this);
    Action(acEndDoc, 0, nullptr);
    if (m_inMemory) {
        const intptr_t size = Action(acMemoryCopy, 0, nullptr);
        if (size > 0) {
            QByteArray buffer(qsizetype(size), '\0');
            const intptr_t copied = Action(acMemoryCopy, size, buffer.data());
            buffer.truncate(qsizetype(std::clamp<intptr_t>(copied, 0, size)));
            m_memoryDocument = buffer;
        }
    }
    // A file that was not written must not pass for a finished document.
    QString writeError;
    bool writeFailed = false;
    if (!m_filename.isEmpty() && m_readMode == wpdfStandard) {
        const QByteArray name = QFile::encodeName(m_filename);
        m_lastEngineMessage.clear();
        if (Action(acWriteFile, 0, const_cast<char *>(name.constData())) != 0) {
            writeFailed = true;
            writeError = m_lastEngineMessage;
        }
    }
    Action(acCloseDoc, 0, nullptr);
    m_inDoc = false;
    m_inPage = false;
    --m_link.Nesting;
    DiscardCanvas();
    if (m_link.OwnsEngine)
        FinalizeEngine();
    m_resolutionX = m_resolutionY = 72;
    if (writeFailed) {
        m_pendingError = nullptr;
        throw EWPPDFError(writeError.isEmpty() ? QStringLiteral("Error in EndDoc!") : writeError, writeError);
    }
    RaisePendingError();
    if (m_afterEndDoc)
        m_afterEndDoc(this);
    if (m_autoLaunch && !m_filename.isEmpty())
        platform::shellOpen(m_filename);
}
