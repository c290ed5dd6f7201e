#include "core/Registry.h"

#include <QApplication>
#include <QComboBox>
#include <gtest/gtest.h>

namespace {
class RegistryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char arg0[] = "test";
        static char *argv[] = {arg0, nullptr};
        if (!qApp)
            new QApplication(argc, argv);
    }
    platform::MemoryKeyStore store;
    TRegistry reg{store};
};

QStringList items(const QComboBox &c)
{
    QStringList l;
    for (int i = 0; i < c.count(); ++i)
        l << c.itemText(i);
    return l;
}
} // namespace

TEST_F(RegistryTest, IntegersAreDecimalOrTheDefault)
{
    const std::pair<const char *, int> rows[] = {{"210", 210}, {"-5", -5}, {"+7", 7}, {"  42", 42}, {"abc", 99},
                                                 {"", 99},     {"12x", 99}, {"0x10", 99}, {"4294967296", 99},
                                                 {"1.5", 99},  {"٣", 99}};
    for (const auto &[text, expected] : rows) {
        store.values["V"] = QString::fromUtf8(text);
        EXPECT_EQ(reg.ReadInteger("V", 99), expected) << text;
    }
    EXPECT_EQ(reg.ReadInteger("Missing", 3), 3);
}

TEST_F(RegistryTest, BooleansAreIntegersNonZeroTrue)
{
    const std::tuple<const char *, bool, bool> rows[] = {{"1", false, true}, {"0", true, false}, {"2", false, true},
                                                         {"-1", false, true}, {"x", true, true}, {"x", false, false}};
    for (const auto &[text, def, expected] : rows) {
        store.values["B"] = text;
        EXPECT_EQ(reg.ReadBool("B", def), expected) << text;
    }
    reg.WriteBool("W", true);
    EXPECT_EQ(store.values["W"], "1");
}

TEST_F(RegistryTest, HistoryStopsAtTheFirstGap)
{
    store.values = {{"FileTitle01", "one"}, {"FileTitle02", "two"}, {"FileTitle04", "four"}, {"FileTitleIndex", "1"}};
    QComboBox combo;
    combo.setEditable(true);
    combo.addItem("built in");
    ReadHistory(reg, &combo, "FileTitle");
    EXPECT_EQ(items(combo), (QStringList{"one", "two"}));
    EXPECT_EQ(combo.currentIndex(), 1);
}

TEST_F(RegistryTest, HistoryKeepsBuiltInEntriesWhenNoneStored)
{
    QComboBox combo;
    combo.addItems({"Frame <N>", "<L>"});
    ReadHistory(reg, &combo, "NonKeyFrameLabel");
    EXPECT_EQ(items(combo), (QStringList{"Frame <N>", "<L>"}));
    EXPECT_EQ(combo.currentIndex(), 0); // index defaults to 0

    store.values["NonKeyFrameLabelIndex"] = "5";
    ReadHistory(reg, &combo, "NonKeyFrameLabel");
    EXPECT_EQ(combo.currentIndex(), -1); // outside the list: nothing chosen
}

TEST_F(RegistryTest, HistoryReadsAtMostEight)
{
    for (int n = 1; n <= 9; ++n)
        store.values[HistoryValueName("H", n)] = QString::number(n);
    QComboBox combo;
    ReadHistory(reg, &combo, "H");
    EXPECT_EQ(combo.count(), 8);
}

TEST_F(RegistryTest, WritingAShorterHistoryDeletesUpToNine)
{
    for (int n = 1; n <= 5; ++n)
        store.values[HistoryValueName("FileTitle", n)] = "old";
    store.values["FileTitle09"] = "old";
    store.values["FileTitle10"] = "kept"; // beyond "09" nothing is deleted
    QComboBox combo;
    combo.addItems({"a", "b", "c"});
    combo.setCurrentIndex(2);
    WriteHistory(reg, &combo, "FileTitle");
    EXPECT_EQ(store.values.value("FileTitle01"), "a");
    EXPECT_EQ(store.values.value("FileTitle03"), "c");
    for (int n = 4; n <= 9; ++n)
        EXPECT_FALSE(store.values.contains(HistoryValueName("FileTitle", n))) << n;
    EXPECT_EQ(store.values.value("FileTitle10"), "kept");
    EXPECT_EQ(store.values.value("FileTitleIndex"), "2");
}

TEST_F(RegistryTest, HistoryRoundTripKeepsOddTexts)
{
    QComboBox combo;
    combo.addItems({"  spaced  ", "a=b;c", "\"quoted\", comma", "ünïcödé"});
    combo.setCurrentIndex(-1);
    WriteHistory(reg, &combo, "K");
    QComboBox back;
    ReadHistory(reg, &back, "K");
    EXPECT_EQ(items(back), items(combo));
    EXPECT_EQ(back.currentIndex(), -1);
}
