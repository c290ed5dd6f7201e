#pragma once
// What the authoring host's tests share: the application, a movie of two
// scenes and a publish profile written as extensions write it.
#include "engines/flashplayer/SwfWriter.h"

#include <QFile>
#include <QColor>
#include <QGuiApplication>
#include <QJSEngine>
#include <QString>
#include <gtest/gtest.h>

#include <memory>

#include <ostream>

// Readable QString in test failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace authoringtest {

// Device fonts and QJSEngine want an application.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "authoring_tests";
        static char *argv[] = {name, nullptr};
        if (!QGuiApplication::instance())
            m_app = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QGuiApplication> m_app;
};

// The statements' value as text, or "throws: " and the error's message.
inline QString evalCaught(QJSEngine &engine, QString code)
{
    code.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return engine
        .evaluate(QStringLiteral("(function () { try { return String(eval(\"%1\")); }"
                                 " catch (e) { return 'throws: ' + e.message; } })()")
                      .arg(code))
        .toString();
}

inline const QRgb kFrameColours[] = {qRgb(220, 20, 20), qRgb(20, 200, 20), qRgb(20, 20, 220)};

// Eight frames of 40 x 30 pixels in scenes Alpha (0-3) and Beta (4-7):
//   0 red placed, label "intro"; 1 -; 2 green replaces it; 3 label "mid";
//   4 blue replaces it; 5 -; 6 label "late"; 7 removed (white).
// So Alpha has key frames 0, 2 and labels intro 0+3, mid 3+1; Beta key
// frames 0, 3 and label late 2+2.
inline SwfWriter twoSceneMovie()
{
    SwfWriter w;
    w.setFrameSize({0, 800, 0, 600}).setBackgroundColor(255, 255, 255);
    for (uint16_t id = 1; id <= 3; ++id) {
        const QRgb c = kFrameColours[id - 1];
        SwfShape box;
        box.styles.fills = {SwfFillStyle::solid(uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)))};
        box.setStyles(std::nullopt, 1u).moveTo(0, 0).polygon({{800, 0}, {0, 600}, {-800, 0}, {0, -600}});
        w.defineShape(1, id, {0, 800, 0, 600}, box);
    }
    w.frameLabel("intro").placeObject2(SwfPlace{.depth = 1, .characterId = 1}).showFrame();
    w.showFrame();
    w.placeObject2(SwfPlace{.depth = 1, .move = true, .characterId = 2}).showFrame();
    w.frameLabel("mid").showFrame();
    w.placeObject2(SwfPlace{.depth = 1, .move = true, .characterId = 3}).showFrame();
    w.showFrame();
    w.frameLabel("late").showFrame();
    w.removeObject2(1).showFrame();
    w.defineSceneAndFrameLabelData({{0, "Alpha"}, {4, "Beta"}}, {});
    w.end();
    return w;
}

// A profile as extensions write it; the picture path XML-escaped, the
// other values as given (empty leaves the element out).
inline bool writeProfile(const QString &path, const QString &picture, const QString &width, const QString &height,
                         const QString &quality, const QString &jpeg = QStringLiteral("1"))
{
    QString escaped = picture.toHtmlEscaped();
    const auto element = [](const char *name, const QString &value) {
        return value.isEmpty() ? QString() : QStringLiteral("\t\t\t<%1>%2</%1>\n").arg(QLatin1String(name), value);
    };
    const QString text = QStringLiteral("<?xml version=\"1.0\"?>\n\t\t<flash_profile version=\"1.0\" name=\"Tessory Profile\">\n"
                                        "\t\t<PublishFormatProperties enabled=\"true\">\n") +
                         element("jpeg", jpeg) + element("jpegFileName", escaped) +
                         QStringLiteral("\t\t</PublishFormatProperties>\n\t\t<PublishJpegProperties enabled=\"true\">\n") +
                         element("Width", width) + element("Height", height) + element("Quality", quality) +
                         QStringLiteral("\t\t</PublishJpegProperties>\n\t\t</flash_profile>");
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}

// The first entry of a JPEG file's first quantisation table: libjpeg makes
// it (16 * s + 50) / 100 for quality q, s = 5000 / q below 50, else 200 - 2q.
inline int firstQuantiser(const QByteArray &jpeg)
{
    const qsizetype dqt = jpeg.indexOf("\xff\xdb");
    return dqt < 0 || dqt + 5 >= jpeg.size() ? -1 : uint8_t(jpeg[dqt + 5]);
}

} // namespace authoringtest
