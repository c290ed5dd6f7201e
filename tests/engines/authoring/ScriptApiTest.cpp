// The document, its timelines and publishing as a command script sees them.
#include "AuthoringFixture.h"

#include "engines/authoring/Document.h"
#include "engines/authoring/ScriptApi.h"
#include "engines/authoring/Session.h"
#include "platform/JpegImage.h"

#include <QDir>
#include <QJSEngine>
#include <QTemporaryDir>

using namespace authoringtest;

namespace {

const auto *const kGui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// The spans of one layer: "start+duration" and ":label" for labelled ones.
const char kSpans[] = R"JS(
function spans(t, l) {
    var out = [], frames = t.layers[l].frames;
    for (var f = 0; f < frames.length; f++)
        if (frames[f].startFrame === f)
            out.push(f + "+" + frames[f].duration + (frames[f].labelType === "name" ? ":" + frames[f].name : ""));
    return out.join(",");
}
var doc = fl.getDocumentDOM();
)JS";

class ScriptApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        movie = tmp.filePath(QStringLiteral("two.swf"));
        ASSERT_TRUE(twoSceneMovie().save(movie));
        QString error;
        ASSERT_TRUE(session.openDocument(movie, &error)) << qPrintable(error);
        session.engine().evaluate(QString::fromLatin1(kSpans));
    }

    QString eval(const QString &code) { return evalCaught(session.engine(), code); }

    QTemporaryDir tmp;
    QString movie;
    authoring::Session session{tmp.filePath(QStringLiteral("kept"))};
};

TEST_F(ScriptApiTest, DocumentScenesLayersAndPlayheads)
{
    const struct {
        const char *code;
        const char *expected;
    } cases[] = {
        {"doc.name + ' ' + doc.width + 'x' + doc.height", "two.swf 40x30"},
        {"doc.path === fl.getDocumentDOM().path && doc.path.charAt(0)", "/"},
        {"doc.timelines.length + ' ' + doc.timelines[0].name + ' ' + doc.timelines[1].name", "2 Alpha Beta"},
        {"doc.timelines[0].frameCount + ' ' + doc.timelines[1].frameCount", "4 4"},
        {"doc.timelines[0].layers.length + ' ' + doc.timelines[0].layers[0].layerType", "2 guide"},
        // key frames where a character comes or goes, labels cut at scenes
        {"spans(doc.timelines[0], 1)", "0+2,2+2"},
        {"spans(doc.timelines[1], 1)", "0+3,3+1"},
        {"spans(doc.timelines[0], 0)", "0+3:intro,3+1:mid"},
        {"spans(doc.timelines[1], 0)", "0+2,2+2:late"},
        {"doc.currentTimeline + ' ' + doc.getTimeline().currentFrame", "0 0"},
        {"doc.editScene(1); doc.getTimeline().currentFrame = 3; doc.currentTimeline + ' ' + doc.getTimeline().name", "1 Beta"},
        {"doc.currentTimeline = 0; doc.getTimeline().currentFrame + ' ' + doc.timelines[1].currentFrame", "0 3"},
        {"doc.editScene(2)", "throws: There is no scene 2; the document has scenes 0 to 1."},
        {"doc.currentTimeline = '1'", "throws: There is no scene 1; the document has scenes 0 to 1."},
        {"doc.getTimeline().currentFrame = 4", "throws: currentFrame must be a frame of the timeline \"Alpha\" (0 to 3), not 4."},
        {"doc.getTimeline().currentFrame = 1.5", "throws: currentFrame must be a frame of the timeline \"Alpha\" (0 to 3), not 1.5."},
        {"doc.saveDocument", "throws: document.saveDocument is not available in this authoring host."},
        {"doc.selection", "throws: document.selection is not available in this authoring host."},
        {"doc.timelines[2]", "throws: timelines[2] is not available in this authoring host."},
        {"doc.timelines[0].layers[1].frames[4]", "throws: frames[4] is not available in this authoring host."},
        {"doc.timelines[0].layers[1].frames[0].elements", "throws: frame.elements is not available in this authoring host."},
        {"fl.openDocument", "throws: fl.openDocument is not available in this authoring host."},
        {"doc.publishProfiles + ' ' + doc.currentPublishProfile", "Default Default"},
        {"doc.currentPublishProfile = 'Other'", "throws: There is no publish profile \"Other\"."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(eval(QString::fromUtf8(c.code)), QString::fromUtf8(c.expected)) << c.code;
}

TEST_F(ScriptApiTest, ClosedDocumentIsGoneForScripts)
{
    session.engine().evaluate(QStringLiteral("var held = fl.getDocumentDOM().getTimeline();"));
    session.closeDocument();
    EXPECT_EQ(eval(QStringLiteral("fl.getDocumentDOM()")), QStringLiteral("null"));
    EXPECT_EQ(eval(QStringLiteral("held.frameCount")), QStringLiteral("throws: The document was closed."));
}

TEST_F(ScriptApiTest, PublishesTheCurrentFrameAsTheProfileSays)
{
    const struct {
        int width, height, quality, scene, frame;
        QRgb colour;
        int quantiser;
    } cases[] = {
        {64, 48, 80, 1, 0, kFrameColours[2], 6},   // Beta's first frame: blue
        {33, 17, 30, 1, 3, qRgb(255, 255, 255), 27}, // Beta's last: removed, white
        {40, 30, 50, 0, 1, kFrameColours[0], 16},  // Alpha's frame 1: still red
    };
    const QString folder = tmp.filePath(QStringLiteral("a b & <c>"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QDir().mkpath(tmp.filePath(QStringLiteral("kept"))));
    const QString picture = folder + QStringLiteral("/VELUMOR \"1\".jpg");
    const QString profile = folder + QStringLiteral("/VELUMOR.xml");
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.quality);
        ASSERT_TRUE(writeProfile(profile, picture, QString::number(c.width), QString::number(c.height),
                                 QString::number(c.quality)));
        EXPECT_EQ(eval(QStringLiteral("var i = doc.importPublishProfile('file://%1'); doc.currentPublishProfile = doc.publishProfiles[i];"
                                      "doc.editScene(%2); doc.getTimeline().currentFrame = %3; doc.publish();"
                                      "doc.publishProfiles.length")
                           .arg(profile)
                           .arg(c.scene)
                           .arg(c.frame)),
                  QStringLiteral("2")) << "a profile of the same name is replaced";
        QFile file(picture);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray jpeg = file.readAll();
        EXPECT_EQ(platform::jpegSize(jpeg), QSize(c.width, c.height));
        EXPECT_EQ(firstQuantiser(jpeg), c.quantiser);
        const QImage image = platform::decodeJpeg(jpeg);
        const QRgb centre = image.pixel(c.width / 2, c.height / 2);
        EXPECT_NEAR(qRed(centre), qRed(c.colour), 12);
        EXPECT_NEAR(qGreen(centre), qGreen(c.colour), 12);
        EXPECT_NEAR(qBlue(centre), qBlue(c.colour), 12);
        QFile kept(tmp.filePath(QStringLiteral("kept/published-%1.jpg").arg(++n, 4, 10, QLatin1Char('0'))));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), jpeg);
    }
}

TEST_F(ScriptApiTest, BadProfilesAndFailedPublishingThrow)
{
    const QString profile = tmp.filePath(QStringLiteral("p.xml"));
    const QString picture = tmp.filePath(QStringLiteral("old.jpg"));
    const QString uri = QStringLiteral("file://") + profile;
    const struct {
        QString width, height, quality, jpeg;
        const char *expected;
    } cases[] = {
        {"", "30", "50", "1", "has no value for Width (1 to 16384 expected)."},
        {"40", "30", "101", "1", "has a bad value for Quality (0 to 100 expected)."},
        {"40", "-3", "50", "1", "has a bad value for Height (1 to 16384 expected)."},
        {"40", "30", "50", "", "has no value for jpeg (0 to 1 expected)."},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(writeProfile(profile, picture, c.width, c.height, c.quality, c.jpeg));
        const QString result = eval(QStringLiteral("doc.importPublishProfile('%1')").arg(uri));
        EXPECT_TRUE(result.startsWith(QStringLiteral("throws: The publish profile \"%1\" ").arg(profile))) << qPrintable(result);
        EXPECT_TRUE(result.endsWith(QLatin1String(c.expected))) << qPrintable(result);
    }
    EXPECT_EQ(eval(QStringLiteral("doc.importPublishProfile('http://example.org/p.xml')")),
              QStringLiteral("throws: The publish profile \"http://example.org/p.xml\" is not a file:// URI."));
    EXPECT_TRUE(eval(QStringLiteral("doc.importPublishProfile('file:///no/such.xml')")).contains(QLatin1String("cannot be opened")));
    QFile junk(profile);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("<flash_profile><oops></flash_profile>") > 0);
    junk.close();
    EXPECT_TRUE(eval(QStringLiteral("doc.importPublishProfile('%1')").arg(uri)).contains(QLatin1String("is not valid XML")));

    // A picture that cannot be made leaves no older one under its name.
    const auto publishWith = [&](const QString &target, const QString &side) {
        writeProfile(profile, target, side, side, QStringLiteral("50"));
        return eval(QStringLiteral("var i = doc.importPublishProfile('%1'); doc.currentPublishProfile = doc.publishProfiles[i]; doc.publish()").arg(uri));
    };
    QFile old(picture);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old frame") > 0);
    old.close();
    EXPECT_EQ(publishWith(picture, QStringLiteral("16384")),
              QStringLiteral("throws: A picture of 16384 x 16384 pixels cannot be drawn."));
    EXPECT_FALSE(QFile::exists(picture));
    const QString nowhere = tmp.filePath(QStringLiteral("missing/pic.jpg"));
    EXPECT_TRUE(publishWith(nowhere, QStringLiteral("20")).startsWith(
        QStringLiteral("throws: The picture cannot be written to \"%1\": ").arg(nowhere)));
}

} // namespace
