// Values across the extension table, driven through Probe.so, a library
// whose functions use every slot.
#include "AuthoringFixture.h"

#include "engines/authoring/Session.h"

#include <QDir>
#include <QFile>
#include <QJSEngine>
#include <QTemporaryDir>

using namespace authoringtest;

namespace {

const auto *const kGui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

class ValueModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EXPECT_TRUE(session.loadExtensions(QStringLiteral(PROBE_EXTENSION_DIR)).isEmpty());
    }

    QString eval(const char *code) { return evalCaught(session.engine(), QString::fromUtf8(code)); }

    authoring::Session session;
};

TEST_F(ValueModelTest, ValuesRoundTripThroughEverySlot)
{
    const struct {
        const char *code;
        const char *expected;
    } cases[] = {
        {"Probe.slotCount()", "18"},
        // jsval codes and cells come back as the same values
        {"[5, -7, 0, 2147483647, -2147483648, 2.5, 1e12, true, false, null, undefined, 'x']"
         ".map(function (v) { return Probe.echo(v) === v; }).join()",
         "true,true,true,true,true,true,true,true,true,true,true,true"},
        {"(function () { var a = [1]; return Probe.echo(a) === a; })()", "true"},
        {"Probe.echo('Grüße, 日本, 𝄞')", "Grüße, 日本, 𝄞"},
        // conversions: primitives convert, objects only to objects, null fails
        {"Probe.kinds(5)", "s=5 i=5 d=5 b=1 o=!"},
        {"Probe.kinds(2.5)", "s=2.5 i=3 d=2.5 b=1 o=!"},
        {"Probe.kinds('12')", "s=12 i=12 d=12 b=1 o=!"},
        {"Probe.kinds('abc')", "s=abc i=! d=! b=1 o=!"},
        {"Probe.kinds('')", "s= i=! d=! b=0 o=!"},
        {"Probe.kinds(true)", "s=true i=1 d=1 b=1 o=!"},
        {"Probe.kinds(1e12)", "s=1000000000000 i=! d=1e+12 b=1 o=!"},
        {"Probe.kinds([1])", "s=! i=! d=! b=1 o=y"},
        {"Probe.kinds(null)", "s=! i=! d=! b=! o=!"},
        {"Probe.kinds(undefined)", "s=! i=! d=! b=0 o=!"},
        {"Probe.kinds()", "s=! i=! d=! b=0 o=!"},
        // arrays both ways; strings with the zero counted in
        {"Probe.join(['a', 'ü€𝄞', 3], ' | ')", "a | ü€𝄞 | 3"},
        {"Probe.join([], '-')", ""},
        {"Probe.squares(5).join()", "0,1,4,9,16"},
        {"Probe.bytes('Grüße 𝄞')", "Grüße 𝄞"},
        {"Probe.half(5) + ' ' + Probe.half(-3)", "2.5 -1.5"},
        {"Probe.makeObject().twice(21)", "42"},
        {"Probe.evaluate('6 * 7')", "42"},
        // what the host never made, or has freed, is refused
        {"Probe.garbage()", "24"},
        {"(Probe.keep('gone'), Probe.recall())", "true"},
        // a native's failure stops the script, naming the function
        {"Probe.fail()", "throws: Probe.fail() failed."},
        {"Probe.failWith('the disk is full')", "throws: Probe.failWith(): the disk is full"},
        {"Probe.evaluate('throw new Error(\"inner\")')", "throws: Probe.evaluate(): Error: inner"},
        {"Probe.join(5, '-')", "throws: Probe.join() failed."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(eval(c.code), QString::fromUtf8(c.expected)) << c.code;
}

TEST_F(ValueModelTest, LibrariesOfAFolderLoadOrAreReported)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QFile::copy(QStringLiteral(PROBE_EXTENSION_DIR "/Probe.so"), folder.filePath(QStringLiteral("Second.so"))));
    QFile broken(folder.filePath(QStringLiteral("Broken.so")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("not a library") > 0);
    broken.close();
    // A library without the entry is unloaded without a word.
    ASSERT_TRUE(QFile::copy(QStringLiteral(PROBE_EXTENSION_DIR "/Plain.so"), folder.filePath(QStringLiteral("Plain.so"))));

    const QStringList problems = session.loadExtensions(folder.path());
    ASSERT_EQ(problems.size(), 1) << qPrintable(problems.join(u'\n'));
    EXPECT_TRUE(problems[0].startsWith(QStringLiteral("The extension \"%1\" cannot be loaded: ").arg(broken.fileName())));
    EXPECT_EQ(eval("typeof Second.echo + ' ' + typeof Plain + ' ' + typeof Broken"), "function undefined undefined");

    session.unloadExtensions();
    EXPECT_EQ(eval("Probe.echo(1)"), "throws: This function's extension is no longer loaded.");
}

} // namespace
