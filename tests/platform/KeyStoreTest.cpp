#include "PlatformFixture.h"

#include "platform/KeyStore.h"

#include <functional>
#include <sys/stat.h>

using platform::IniKeyStore;

namespace {

class KeyStoreTest : public PlatformFixture {
protected:
    QString conf() const { return root() + "/config/Omberline/Tessory.conf"; }
    void writeConf(const QByteArray &bytes)
    {
        QDir().mkpath(root() + "/config/Omberline");
        QFile file(conf());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

TEST_F(KeyStoreTest, ValuesSurviveTheFileWhateverTheyHold)
{
    const QMap<QString, QString> values = {
        {"Plain", "C:/Movies/intro.swf"}, {"Equals", "a=b==c"}, {"Semicolon", "; not a comment"},
        {"Hash", "#not either"}, {"Quotes", "\"quoted\" 'single'"}, {"LeadingQuote", "\"open"},
        {"Backslash", "C:\\Temp\\n"}, {"Commas", "1,2, 3"}, {"Spaces", "  padded  "},
        {"Newlines", "one\ntwo\r\nthree\t!"}, {"Control", QString("bell\a\x7f")}, {"Empty", ""},
        {"Unicode", QString::fromUtf8("Grüße – 日本 🎬")}, {"Key = equals", "k"}, {"[Section", "s"},
        {"; comment", "c"}, {" spaced key ", "sk"},
    };
    IniKeyStore store(conf());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        store.setValue(it.key(), it.value());
    ASSERT_TRUE(store.flush());
    // Written in place: no temporary file is left behind.
    EXPECT_EQ(QDir(root() + "/config/Omberline").entryList(QDir::Files | QDir::Hidden), QStringList{"Tessory.conf"});

    IniKeyStore reread(conf());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        EXPECT_EQ(reread.value(it.key()), it.value()) << it.key().toStdString();
    EXPECT_EQ(reread.value("Missing"), std::nullopt);
}

TEST_F(KeyStoreTest, ReadsHandWrittenFiles)
{
    writeConf("\xEF\xBB\xBF; by hand\r\n[General]\r\n  Name = some value  \r\n"
              "Quoted = \"with ; inside\" ; comment\r\n# note\nTwice=first\nTwice=second\n");
    IniKeyStore store(conf());
    EXPECT_EQ(store.value("Name"), "some value");
    EXPECT_EQ(store.value("Quoted"), "with ; inside");
    EXPECT_EQ(store.value("Twice"), "second");
}

TEST_F(KeyStoreTest, DamagedFileReadsAsEmptyAndIsReplaced)
{
    const QByteArray damaged[] = {
        QByteArray("Good=1\n\0binary", 14), "Good=1\nno equals sign\n", "Good=1\nBad=\"unterminated\n",
        "Good=1\nBad=\"escape \\q\"\n", "Good=1\nBad=\"ok\" junk\n", "Good=1\n[Section\n",
        "Good=1\nBad=\xff\xfe\n", QByteArray(5 * 1024 * 1024, 'x'),
    };
    for (const QByteArray &bytes : damaged) {
        writeConf(bytes);
        IniKeyStore store(conf());
        EXPECT_EQ(store.value("Good"), std::nullopt) << bytes.left(30).toStdString();
        store.setValue("New", "n");
        ASSERT_TRUE(store.flush());
        EXPECT_EQ(IniKeyStore(conf()).value("New"), "n");
    }
}

TEST_F(KeyStoreTest, FailedFlushReportsAndKeepsTheChanges)
{
    // Fails even for root: no folder can be made where a file is.
    QDir().mkpath(root() + "/config");
    QFile blocker(root() + "/config/Omberline");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    IniKeyStore store(conf());
    store.setValue("A", "1");
    EXPECT_FALSE(store.flush());

    ASSERT_TRUE(blocker.remove());
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(IniKeyStore(conf()).value("A"), "1");

    IniKeyStore onFolder(root() + "/config");
    onFolder.setValue("A", "1");
    EXPECT_FALSE(onFolder.flush());
}

TEST_F(KeyStoreTest, WhatIsNoReadableFileReadsAsEmptyAndIsLeftAlone)
{
    // A FIFO would block start-up for ever; a folder or an unreadable file
    // must not be replaced by this run's values alone.
    QDir().mkpath(root() + "/config/Omberline");
    const QByteArray path = QFile::encodeName(conf());
    const std::pair<const char *, std::function<void()>> cases[] = {
        {"fifo", [&] { ASSERT_EQ(::mkfifo(path.constData(), 0600), 0); }},
        {"folder", [&] { ASSERT_TRUE(QDir().mkpath(conf())); }},
        {"unreadable", [&] {
             writeConf("Kept=1\n");
             ASSERT_EQ(::chmod(path.constData(), 0), 0);
         }},
    };
    for (const auto &[name, make] : cases) {
        if (std::string(name) == "unreadable" && geteuid() == 0)
            continue; // root reads every file
        make();
        IniKeyStore store(conf());
        EXPECT_EQ(store.value("Kept"), std::nullopt) << name;
        store.setValue("A", "1");
        EXPECT_FALSE(store.flush()) << name;
        EXPECT_TRUE(store.errorString().contains(conf())) << name << ": " << qPrintable(store.errorString());
        EXPECT_FALSE(store.errorString().contains("writable")) << name;
        struct stat st {};
        ASSERT_EQ(::lstat(path.constData(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode) && st.st_mode & 0400) << name << " was replaced";
        ::chmod(path.constData(), 0600);
        QDir(conf()).removeRecursively();
        QFile::remove(conf());
    }
}

TEST_F(KeyStoreTest, FlushKeepsWhatOtherWritersChanged)
{
    IniKeyStore first(conf()), second(conf());
    first.setValue("First", "1");
    first.setValue("Shared", "from first");
    ASSERT_TRUE(first.flush());
    second.setValue("Second", "2");
    second.deleteValue("Shared");
    ASSERT_TRUE(second.flush());

    IniKeyStore reread(conf());
    EXPECT_EQ(reread.value("First"), "1");
    EXPECT_EQ(reread.value("Second"), "2");
    EXPECT_EQ(reread.value("Shared"), std::nullopt);
}

TEST_F(KeyStoreTest, SettingsPathFollowsXdgConfigHome)
{
    const QString fallback = root() + "/home/.config/Omberline/Tessory.conf";
    const std::pair<const char *, QString> cases[] = {
        {"/etc/elsewhere/", "/etc/elsewhere/Omberline/Tessory.conf"},
        {"", fallback}, {nullptr, fallback}, {"relative/dir", fallback},
    };
    for (const auto &[xdg, expected] : cases) {
        xdg ? ::setenv("XDG_CONFIG_HOME", xdg, 1) : ::unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(platform::tessorySettingsPath(), expected) << (xdg ? xdg : "(unset)");
    }
}

} // namespace
