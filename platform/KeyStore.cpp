#include "platform/KeyStore.h"

#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {

// A settings file this large is not ours; reading it would only waste memory.
constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// Plain text unless a reader could not take it back verbatim.
bool needsQuotes(const QString &text, bool isKey)
{
    if (text.isEmpty())
        return isKey;
    if (text.front().isSpace() || text.back().isSpace() || text.front() == u'"')
        return true;
    if (isKey && (text.front() == u'[' || text.front() == u';' || text.front() == u'#'))
        return true;
    for (QChar c : text) {
        if (isControl(c) || (isKey && c == u'='))
            return true;
    }
    return false;
}

QString quoted(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (QChar c : text) {
        switch (c.unicode()) {
        case '"': out += u"\\\""; break;
        case '\\': out += u"\\\\"; break;
        case '\n': out += u"\\n"; break;
        case '\r': out += u"\\r"; break;
        case '\t': out += u"\\t"; break;
        default:
            if (isControl(c))
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

QString encoded(const QString &text, bool isKey)
{
    return needsQuotes(text, isKey) ? quoted(text) : text;
}

// Reads a quoted string starting at line[pos] == '"'; leaves pos after the
// closing quote. False on a bad escape or a missing closing quote.
bool readQuoted(const QString &line, qsizetype &pos, QString *out)
{
    ++pos;
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == u'"')
            return true;
        if (c != u'\\') {
            *out += c;
            continue;
        }
        if (pos >= line.size())
            return false;
        switch (line[pos++].unicode()) {
        case '"': *out += u'"'; break;
        case '\\': *out += u'\\'; break;
        case 'n': *out += u'\n'; break;
        case 'r': *out += u'\r'; break;
        case 't': *out += u'\t'; break;
        case 'x': {
            if (pos + 2 > line.size())
                return false;
            bool ok = false;
            const uint code = QStringView(line).mid(pos, 2).toUInt(&ok, 16);
            if (!ok)
                return false;
            *out += QChar(char16_t(code));
            pos += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

bool onlyTrailingComment(QStringView rest)
{
    rest = rest.trimmed();
    return rest.isEmpty() || rest.front() == u';' || rest.front() == u'#';
}

bool parseLine(const QString &line, QMap<QString, QString> *values)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.front() == u';' || trimmed.front() == u'#')
        return true;
    // Section names do not matter: the key is one flat set of values.
    if (trimmed.front() == u'[')
        return trimmed.back() == u']';

    QString name;
    qsizetype pos = 0;
    while (pos < line.size() && line[pos].isSpace())
        ++pos;
    if (line[pos] == u'"') {
        if (!readQuoted(line, pos, &name))
            return false;
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != u'=')
            return false;
    } else {
        const qsizetype eq = line.indexOf(u'=', pos);
        if (eq < 0)
            return false;
        name = line.mid(pos, eq - pos).trimmed();
        pos = eq;
    }
    ++pos; // past '='
    while (pos < line.size() && line[pos].isSpace())
        ++pos;

    QString text;
    if (pos < line.size() && line[pos] == u'"') {
        if (!readQuoted(line, pos, &text) || !onlyTrailingComment(QStringView(line).mid(pos)))
            return false;
    } else {
        text = line.mid(pos).trimmed();
    }
    values->insert(name, text);
    return true;
}

// What a settings file holds. A damaged file gives no values (so a
// half-understood file never yields wrong ones) and may be rewritten; one
// that cannot be read at all, or is no file, must be left as it is.
struct FileValues {
    QMap<QString, QString> values;
    bool keepFile = false;
    QString problem;
};

FileValues readFile(const QString &path)
{
    FileValues out;
    const FileContents file = readRegularFile(path, kMaxFileSize);
    if (file.status == FileContents::Missing)
        return out;
    if (file.status == FileContents::NotAFile || file.status == FileContents::Unreadable) {
        out.keepFile = true;
        out.problem = file.reason;
        return out;
    }
    if (file.status != FileContents::Read || file.bytes.contains('\0'))
        return out;

    auto decoder = QStringDecoder(QStringDecoder::Utf8);
    QString text = decoder(file.bytes);
    if (decoder.hasError())
        return out;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    QMap<QString, QString> values;
    for (const QString &raw : text.split(u'\n')) {
        QString line = raw;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!parseLine(line, &values))
            return out;
    }
    out.values = values;
    return out;
}

QByteArray serialize(const QMap<QString, QString> &values)
{
    QString out = QStringLiteral("[General]\n");
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        out += encoded(it.key(), true) + u'=' + encoded(it.value(), false) + u'\n';
    return out.toUtf8();
}

QString homeFolder()
{
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return home;
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
        return QFile::decodeName(pw->pw_dir);
    return QDir::homePath();
}

} // namespace

IniKeyStore::IniKeyStore(const QString &filePath)
    : m_path(filePath)
{
    m_values = readFile(m_path).values;
}

IniKeyStore::~IniKeyStore() = default;

std::optional<QString> IniKeyStore::value(const QString &name) const
{
    const auto it = m_values.constFind(name);
    if (it == m_values.cend())
        return std::nullopt;
    return *it;
}

void IniKeyStore::setValue(const QString &name, const QString &text)
{
    m_values.insert(name, text);
    m_pending.insert(name, text);
    m_dirty = true;
}

void IniKeyStore::deleteValue(const QString &name)
{
    m_values.remove(name);
    m_pending.insert(name, std::nullopt);
    m_dirty = true;
}

bool IniKeyStore::flush()
{
    if (!m_dirty)
        return true;
    // Other processes write the same file; like registry values, only the
    // ones changed here are replaced, the rest of the file is kept as it is now.
    FileValues current = readFile(m_path);
    if (current.keepFile) {
        // Writing over it would replace what is there with our values alone.
        m_error = current.problem + QStringLiteral(" The settings were not saved.");
        return false;
    }
    QMap<QString, QString> merged = current.values;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value())
            merged.insert(it.key(), *it.value());
        else
            merged.remove(it.key());
    }

    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        m_error = QStringLiteral("The settings folder %1 cannot be created; check that its parent folder is writable.")
                      .arg(info.absolutePath());
        return false;
    }
    QSaveFile file(m_path);
    const QByteArray bytes = serialize(merged);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_error = QStringLiteral("The settings file %1 cannot be written (%2); check that its folder is writable.")
                      .arg(m_path, file.errorString());
        return false;
    }
    m_error.clear();

    m_values = merged;
    m_pending.clear();
    m_dirty = false;
    return true;
}

std::optional<QString> MemoryKeyStore::value(const QString &name) const
{
    const auto it = values.constFind(name);
    if (it == values.cend())
        return std::nullopt;
    return *it;
}

void MemoryKeyStore::setValue(const QString &name, const QString &text)
{
    values.insert(name, text);
}

void MemoryKeyStore::deleteValue(const QString &name)
{
    values.remove(name);
}

QString tessorySettingsPath()
{
    // XDG base directories: an empty or relative value counts as unset.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = homeFolder() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/Omberline/Tessory.conf"));
}

std::unique_ptr<IKeyStore> openTessoryKey()
{
    return std::make_unique<IniKeyStore>(tessorySettingsPath());
}

} // namespace platform
