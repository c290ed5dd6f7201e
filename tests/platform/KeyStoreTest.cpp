#include "PlatformFixture.h"

#include "platform/KeyStore.h"

#include <QFile>

using platform::IniKeyStore;

namespace {

class KeyStoreTest : public PlatformFixture {
protected:
    QString confPath() const { return root() + "/config/Omberline/Tessory.conf"; }

    void writeFile(const QByteArray &bytes)
    {
        QDir().mkpath(root() + "/config/Omberline");
        QFile file(confPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

TEST_F(KeyStoreTest, ValuesSurviveTheFileWhateverTheyHoldInThem)
{
    const QMap<QString, QString> values = {
        {"Plain", "C:/Movies/intro.swf"},
        {"Equals", "a=b==c"},
        {"Semicolon", "; not a comment"},
        {"Hash", "#also not"},
        {"Quotes", "\"quoted\" and 'single'"},
        {"LeadingQuote", "\"unterminated"},
        {"Backslash", "C:\\Temp\\x\\n"},
        {"Commas", "1,2, 3"},
        {"Spaces", "  padded  "},
        {"Newlines", "one\ntwo\r\nthree\t!"},
        {"Control", QString("bell") + QChar(7) + QChar(0x7f)},
        {"Empty", ""},
        {"Unicode", QString::fromUtf8("Grüße – 日本 🎬")},
        {"Key = with equals", "k"},
        {"[Section-like", "s"},
        {"; comment-like", "c"},
        {" spaced key ", "sk"},
    };
    {
        IniKeyStore store(confPath());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            store.setValue(it.key(), it.value());
        ASSERT_TRUE(store.flush());
    }
    IniKeyStore reread(confPath());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        EXPECT_EQ(reread.value(it.key()), std::optional<QString>(it.value())) << it.key().toStdString();
    EXPECT_FALSE(reread.value("Missing").has_value());
}

TEST_F(KeyStoreTest, ReadsHandWrittenFiles)
{
    writeFile("\xEF\xBB\xBF; written by hand\r\n"
              "[General]\r\n"
              "  Name = some value  \r\n"
              "Quoted = \"with ; inside\" ; trailing comment\r\n"
              "# another comment\n"
              "Twice=first\n"
              "Twice=second\n"
              "\n");
    IniKeyStore store(confPath());
    EXPECT_EQ(store.value("Name"), "some value");
    EXPECT_EQ(store.value("Quoted"), "with ; inside");
    EXPECT_EQ(store.value("Twice"), "second");
}

TEST_F(KeyStoreTest, DamagedFileReadsAsEmpty)
{
    const QByteArray damaged[] = {
        QByteArray("Good=1\n\x00\x01\x02 binary", 20),
        "Good=1\nno equals sign here\n",
        "Good=1\nBad=\"unterminated\n",
        "Good=1\nBad=\"bad escape \\q\"\n",
        "Good=1\nBad=\"ok\" trailing junk\n",
        "Good=1\n[Section\n",
        "Good=1\nBad=\xff\xfe invalid utf-8\n",
        QByteArray(5 * 1024 * 1024, 'x'),
    };
    for (const QByteArray &bytes : damaged) {
        writeFile(bytes);
        IniKeyStore store(confPath());
        EXPECT_FALSE(store.value("Good").has_value()) << bytes.left(40).toStdString();
        // A damaged file is replaced by what is written next.
        store.setValue("New", "n");
        ASSERT_TRUE(store.flush());
        EXPECT_EQ(IniKeyStore(confPath()).value("New"), "n");
    }
}

TEST_F(KeyStoreTest, FlushFailsWhenTheFileCannotBeWritten)
{
    writeFile("Old=1\n");
    // Works even for root: a folder cannot be made below a regular file.
    IniKeyStore belowFile(confPath() + "/sub/Tessory.conf");
    belowFile.setValue("A", "1");
    EXPECT_FALSE(belowFile.flush());

    IniKeyStore onFolder(root() + "/config");
    onFolder.setValue("A", "1");
    EXPECT_FALSE(onFolder.flush());
}

TEST_F(KeyStoreTest, FlushCreatesTheFolderAndLeavesNoTemporaryFiles)
{
    IniKeyStore store(confPath());
    store.setValue("A", "1");
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(QDir(root() + "/config/Omberline").entryList(QDir::Files | QDir::Hidden), QStringList{"Tessory.conf"});
}

TEST_F(KeyStoreTest, FlushKeepsValuesOtherProcessesWrote)
{
    IniKeyStore first(confPath());
    IniKeyStore second(confPath());
    first.setValue("First", "1");
    first.setValue("Shared", "from first");
    ASSERT_TRUE(first.flush());
    second.setValue("Second", "2");
    second.deleteValue("Shared");
    ASSERT_TRUE(second.flush());

    IniKeyStore reread(confPath());
    EXPECT_EQ(reread.value("First"), "1");
    EXPECT_EQ(reread.value("Second"), "2");
    EXPECT_FALSE(reread.value("Shared").has_value());
    EXPECT_EQ(second.value("First"), "1");
}

TEST_F(KeyStoreTest, FailedFlushKeepsChangesForTheNextOne)
{
    QDir().mkpath(root() + "/config");
    QFile blocker(root() + "/config/Omberline");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    IniKeyStore store(confPath());
    store.setValue("A", "1");
    EXPECT_FALSE(store.flush());
    ASSERT_TRUE(QFile::remove(root() + "/config/Omberline"));
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(IniKeyStore(confPath()).value("A"), "1");
}

TEST_F(KeyStoreTest, SettingsPathFollowsXdgConfigHome)
{
    const QString home = root() + "/home";
    struct Case {
        const char *xdg; // nullptr: unset
        QString expected;
    };
    const Case cases[] = {
        {"/etc/elsewhere/", "/etc/elsewhere/Omberline/Tessory.conf"},
        {"", home + "/.config/Omberline/Tessory.conf"},
        {nullptr, home + "/.config/Omberline/Tessory.conf"},
        {"relative/dir", home + "/.config/Omberline/Tessory.conf"},
    };
    for (const Case &c : cases) {
        if (c.xdg)
            ::setenv("XDG_CONFIG_HOME", c.xdg, 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(platform::tessorySettingsPath(), c.expected) << (c.xdg ? c.xdg : "(unset)");
    }
}

TEST_F(KeyStoreTest, TessoryKeyIsTheSettingsFile)
{
    auto key = platform::openTessoryKey();
    key->setValue("Lang", "fr");
    ASSERT_TRUE(key->flush());
    EXPECT_EQ(IniKeyStore(confPath()).value("Lang"), "fr");
}

} // namespace
