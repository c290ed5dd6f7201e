#include "core/Startup.h"

#include "platform/FileVersion.h"
#include "platform/TempFolder.h"

#include <algorithm>

QStringList SplitCommandLine(const QString &commandLine)
{
    QStringList args;
    const int n = commandLine.size();
    int i = 0;
    while (i < n) {
        while (i < n && commandLine[i].unicode() >= 1 && commandLine[i].unicode() <= 32)
            ++i;
        if (i >= n)
            break;
        QString arg;
        while (i < n && !(commandLine[i].unicode() >= 1 && commandLine[i].unicode() <= 32)) {
            if (commandLine[i] == QLatin1Char('"')) {
                ++i;
                while (i < n && commandLine[i] != QLatin1Char('"'))
                    arg += commandLine[i++];
                if (i < n)
                    ++i; // closing quote
            } else {
                arg += commandLine[i++];
            }
        }
        if (!arg.isEmpty())
            args << arg;
    }
    return args;
}

QString JoinCommandLine(const QStringList &args)
{
    QStringList quoted;
    for (const QString &a : args)
        quoted << QLatin1Char('"') + a + QLatin1Char('"');
    return quoted.join(QLatin1Char(' '));
}

QStringList SplitCommaText(const QString &text)
{
    QStringList items;
    const int n = text.size();
    auto isBlank = [&](int i) { return text[i].unicode() >= 1 && text[i].unicode() <= 32; };
    int i = 0;
    while (i < n && isBlank(i))
        ++i;
    while (i < n) {
        QString item;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        }
        while (i < n && text[i] != QLatin1Char(',') && !isBlank(i))
            item += text[i++];
        items << item;
        while (i < n && isBlank(i))
            ++i;
        if (i < n && text[i] == QLatin1Char(',')) {
            ++i;
            while (i < n && isBlank(i))
                ++i;
            if (i >= n)
                items << QString(); // a final comma ends an empty item
        }
    }
    return items;
}

QStringList SplitTerminated(const QString &text, QChar terminator)
{
    QStringList pieces;
    int start = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == terminator) {
            pieces << text.mid(start, i - start);
            start = i + 1;
        }
    }
    return pieces;
}

[[noreturn]] static void throwUnreadable(const QString &text, const QString &what)
{
    throw StartupError(QStringLiteral("Tessory was started with an unreadable %1 (\"%2\"); "
                                      "start it again from the authoring tool's Commands menu.")
                           .arg(what, text)
                           .toStdString());
}

static bool isDigits(QStringView s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

int32_t ParseLaunchInteger(const QString &text, const QString &what)
{
    const bool signed_ = text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'));
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    if (!ok || !isDigits(QStringView(text).mid(signed_ ? 1 : 0)) || v < INT32_MIN || v > INT32_MAX)
        throwUnreadable(text, what);
    return int32_t(v);
}

uint32_t ParseLaunchUnsigned(const QString &text, const QString &what)
{
    bool ok = false;
    const qulonglong v = text.toULongLong(&ok, 10);
    if (!ok || !isDigits(text) || v > UINT32_MAX)
        throwUnreadable(text, what);
    return uint32_t(v);
}

TSceneInfoArr ParseSceneList(const QString &sceneList)
{
    const QChar quoteMark(0x01), sceneEnd(0x02), fieldEnd(0x03), itemEnd(0x04);
    TSceneInfoArr scenes;
    qint64 totalFrames = 0;
    const QStringList pieces = SplitTerminated(sceneList, sceneEnd);
    for (const QString &piece : pieces) {
        const QStringList fields = SplitTerminated(piece, fieldEnd);
        TSceneInfo scene;
        scene.Name = fields.value(0);
        scene.Name.replace(quoteMark, QLatin1Char('"'));
        scene.FrameCount = fields.size() > 1 ? ParseLaunchInteger(fields[1], QStringLiteral("scene frame count")) : 0;
        if (scene.FrameCount < 0)
            throw StartupError(QStringLiteral("Tessory was started with a negative frame count for scene \"%1\"; "
                                              "start it again from the authoring tool's Commands menu.")
                                   .arg(scene.Name)
                                   .toStdString());
        // A movie counts its frames in 16 bits, all scenes together; more
        // would only make the frame lists exhaust memory.
        totalFrames += scene.FrameCount;
        if (totalFrames > kMaxMovieFrames)
            throw StartupError(QStringLiteral("Tessory was started with more frames than a movie can hold (%1 in "
                                              "all, at most %2); start it again from the authoring tool's Commands "
                                              "menu.")
                                   .arg(totalFrames)
                                   .arg(kMaxMovieFrames)
                                   .toStdString());
        for (const QString &k : SplitTerminated(fields.value(2), itemEnd))
            scene.KeyFrames << ParseLaunchInteger(k, QStringLiteral("key frame number"));
        for (int i = 0; i < scene.FrameCount; ++i)
            scene.FrameLabels << QString();
        const QStringList labels = SplitTerminated(fields.value(3), itemEnd);
        for (int t = 0; t + 2 < labels.size(); t += 3) {
            QString text = labels[t];
            text.replace(quoteMark, QLatin1Char('"'));
            const int32_t start = ParseLaunchInteger(labels[t + 1], QStringLiteral("frame label start"));
            const int32_t count = ParseLaunchInteger(labels[t + 2], QStringLiteral("frame label length"));
            // Positions outside the scene are ignored; the span is clipped, not walked.
            const qint64 from = std::max<qint64>(start, 0);
            const qint64 to = std::min<qint64>(qint64(start) + count, scene.FrameCount);
            for (qint64 f = from; f < to; ++f)
                scene.FrameLabels[int(f)] = text;
        }
        scenes << scene;
    }
    for (int i = 1; i < scenes.size(); ++i)
        scenes[i].FirstFrame = scenes[i - 1].FirstFrame + scenes[i - 1].FrameCount;
    return scenes;
}

bool IsFlaLaunch(const QStringList &args, const QString &rawCommandLine)
{
    return args.size() == 7 && rawCommandLine.contains(QChar(0x03));
}

QString ReadProgramVersion(const QString &programPath)
{
    const auto v = platform::readFileVersion(programPath);
    if (!v)
        return QStringLiteral("0.0");
    return QStringLiteral("%1.%2").arg(v->major).arg(v->minor);
}

void InitSharedModel(const QStringList &args, const QString &rawCommandLine, const QString &programPath)
{
    AppTitle = QStringLiteral("Tessory v") + ReadProgramVersion(programPath);
    IsSWFMode = !IsFlaLaunch(args, rawCommandLine);
    Scenes.clear();
    if (IsSWFMode) {
        Scenes << TSceneInfo();
    } else {
        MovieFileName = args[1];
        MovieWidth = ParseLaunchInteger(args[2], QStringLiteral("stage width"));
        MovieHeight = ParseLaunchInteger(args[3], QStringLiteral("stage height"));
        Scenes = ParseSceneList(args[4]);
        ParseLaunchInteger(args[5], QStringLiteral("current scene"));
        ParseLaunchUnsigned(args[6], QStringLiteral("window handle"));
    }
    FrameSelection = new TFrameSelection;
}

void InitTempImageBase()
{
    TempImageBase = platform::privateTempFolder() + QStringLiteral("VELUMOR");
}

void FreeFrameSelection()
{
    delete FrameSelection;
    FrameSelection = nullptr;
}

void ClearSharedModel()
{
    MovieFileName.clear();
    AppTitle.clear();
    TempImageBase.clear();
    Scenes.clear();
}
