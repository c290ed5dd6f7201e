// The check list edit as a user drives it: keys and clicks on the edit, its
// button and the list it drops.
#include "controls/CheckListEdit.h"

#include <QApplication>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "support/WidgetApp.h"

#include <optional>
#include <tuple>

namespace {

QListWidget *openList()
{
    QWidget *popup = QApplication::activePopupWidget();
    return popup ? popup->findChild<QListWidget *>() : nullptr;
}

void clickCheckBox(QListWidget *list, int row)
{
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualItemRect(list->item(row));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
}

// Whether a widget kept the closing press from being replayed when it hid.
struct HideSpy : QObject {
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            seen = static_cast<QWidget *>(watched)->testAttribute(Qt::WA_NoMouseReplay);
        return false;
    }
    std::optional<bool> seen;
};

class CheckListEditShown : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureWidgetApplication(); }
    void SetUp() override
    {
        window.setGeometry(QRect(QPoint(), QSize(300, 200)).translated(screen().center() - QPoint(150, 100)));
        edit->setGeometry(20, 20, 121, 22);
        edit->SetItems({"red", "green", "blue"});
        edit->OnClickBtn = [this] { clicks.append(edit->DropItemIndex()); };
        edit->OnClose = [this] { closes.append(edit->DropItemIndex()); };
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    static QRect screen() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    QToolButton *button() const { return edit->findChild<QToolButton *>(); }
    QListWidget *pressF4()
    {
        QTest::keyClick(edit, Qt::Key_F4);
        return openList();
    }

    QWidget window;
    TCheckListEdit *edit = new TCheckListEdit(&window);
    QList<int> clicks, closes; // DropItemIndex as each event fired
};

TEST_F(CheckListEditShown, KeysOpenTheListOnTheFirstItemAndCloseItThenTheTextIsRead)
{
    using K = Qt::Key;
    const std::tuple<K, Qt::KeyboardModifier, K, Qt::KeyboardModifier> keys[] = {
        {K::Key_Down, Qt::NoModifier, K::Key_Escape, Qt::NoModifier},
        {K::Key_Down, Qt::AltModifier, K::Key_F4, Qt::NoModifier},
        {K::Key_F4, Qt::NoModifier, K::Key_Up, Qt::AltModifier}};
    for (const auto &[open, openModifier, close, closeModifier] : keys) {
        SCOPED_TRACE(QKeySequence(open | openModifier).toString().toStdString());
        closes.clear();
        edit->SetText("[blue]");
        QTest::keyClick(edit, open, openModifier);
        QListWidget *list = openList();
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(edit->DropItemIndex(), 0);
        EXPECT_EQ(QApplication::focusWidget(), list);
        ASSERT_EQ(list->count(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(list->item(i)->checkState() == Qt::Checked, i == 2) << i;
        edit->setText("[green]"); // behind the states' back
        QTest::keyClick(list, close, closeModifier);
        EXPECT_EQ(openList(), nullptr);
        EXPECT_EQ(closes, QList<int>{-1});
        EXPECT_TRUE(edit->Checked(1));
        EXPECT_FALSE(edit->Checked(2));
    }
    EXPECT_TRUE(clicks.isEmpty());
}

TEST_F(CheckListEditShown, ACheckClickRewritesTheTextWhileTheListNamesTheClickedItem)
{
    QList<std::pair<QString, int>> changes;
    edit->OnChange = [&] { changes.append({edit->text(), edit->DropItemIndex()}); };
    QListWidget *list = pressF4();
    ASSERT_NE(list, nullptr);
    for (int row : {2, 1, 2})
        clickCheckBox(list, row);
    const QList<std::pair<QString, int>> expected{{"[blue]", 2}, {"[green,blue]", 1}, {"[green]", 2}};
    EXPECT_EQ(changes, expected);
    EXPECT_EQ(openList(), list);
    EXPECT_TRUE(edit->Checked(1));

    // Checked from outside while open: the mark follows.
    edit->SetChecked(0, true);
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
}

TEST_F(CheckListEditShown, AClickOnTheButtonWhileOpenClosesWithoutReopening)
{
    const QPoint onButton = button()->mapTo(&window, button()->rect().center());
    for (const QPoint at : {onButton, QPoint(250, 150)}) {
        SCOPED_TRACE(at == onButton ? "on the button" : "elsewhere");
        closes.clear();
        clicks.clear();
        QTest::mouseClick(button(), Qt::LeftButton);
        ASSERT_NE(openList(), nullptr);
        EXPECT_EQ(clicks, QList<int>{-1}); // before the list opened
        // Where the platform grabs the mouse for popups, Qt replays the closing
        // press to the widget under it unless told not to; offscreen does not
        // grab, so the flag is what can be seen here.
        HideSpy noReplay;
        QApplication::activePopupWidget()->installEventFilter(&noReplay);
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, at);
        EXPECT_EQ(openList(), nullptr);
        EXPECT_EQ(clicks.size(), 1);
        EXPECT_EQ(closes, QList<int>{-1});
        EXPECT_EQ(noReplay.seen, std::optional<bool>(at == onButton));
    }
}

TEST_F(CheckListEditShown, AutoWidthFitsTheLongestItemAndTheScrollBar)
{
    edit->SetItems({"a", "an item far longer than the edit is wide"});
    ASSERT_NE(pressF4(), nullptr);
    EXPECT_EQ(QApplication::activePopupWidget()->width(), edit->width());
    QTest::keyClick(openList(), Qt::Key_Escape);

    edit->SetAutoDropWidthSize(true);
    for (int more : {0, 30}) {
        SCOPED_TRACE(more);
        for (int i = 0; i < more; ++i)
            edit->AddItem("b");
        QListWidget *list = pressF4();
        ASSERT_NE(list, nullptr);
        EXPECT_GE(list->viewport()->width(), list->sizeHintForIndex(list->model()->index(1, 0)).width());
        EXPECT_EQ(list->verticalScrollBar()->isVisible(), more > 0);
        QTest::keyClick(list, Qt::Key_Escape);
    }
}

TEST_F(CheckListEditShown, SortedItemsKeepTheirStatesAndATextOfPositionsFollows)
{
    // The text names items by position, as the scene chooser's does.
    edit->OnCheckListItemToText = [this](QString &text) { text = QString::number(edit->Items().indexOf(text)); };
    edit->OnTextToCheckListItem = [this](QString &item) { item = edit->Items().value(item.toInt()); };
    edit->SetItems({"pear", "apple", "fig"});
    edit->SetChecked(0, true);
    edit->SetDropSorted(true);
    QListWidget *list = pressF4();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(edit->Items(), QStringList({"apple", "fig", "pear"}));
    EXPECT_EQ(edit->text(), "[2]");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->item(i)->text(), edit->Items()[i]);
        EXPECT_EQ(edit->Checked(i), i == 2) << i;
    }
}

TEST_F(CheckListEditShown, TheButtonKeepsToTheRightEdgeClearOfTheTextAndTheHeightFitsTheFont)
{
    const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    edit->SetItems({"an item long enough to run under the button"});
    edit->SetChecked(0, true);
    for (int width : {121, 260}) {
        edit->resize(width, 1);
        EXPECT_GE(edit->height(), edit->fontMetrics().height());
        const QRect button = this->button()->geometry();
        EXPECT_LE(edit->rect().right() - button.right(), frame) << width;
        edit->end(false);
        edit->grab(); // the line edit scrolls its text when it paints
        EXPECT_LE(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(), button.left() - 3) << width;
    }
}

TEST_F(CheckListEditShown, OnChangeSeesTheStatesOfTheNewTextAndVersionIsReadOnly)
{
    QList<bool> seen;
    edit->OnChange = [&] { seen = {edit->Checked(0), edit->Checked(1)}; };
    edit->SetText("[green]");
    EXPECT_EQ(seen, QList<bool>({false, true}));

    const QString version = edit->Version();
    edit->setProperty("Version", "0");
    EXPECT_EQ(edit->property("Version").toString(), version);
}

TEST(CheckListEditDirection, UpWithoutRoomBelowDownWithoutRoomAboveOtherwiseAsSet)
{
    EnsureWidgetApplication();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    TCheckListEdit edit;
    edit.SetItems({"a"});
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    const int height = edit.height();
    const int justBelow = screen.bottom() + 1 - edit.DropHeight() - height; // the list ends on the last row
    const int middle = screen.center().y();
    using D = TCheckListEdit;
    const std::tuple<const char *, int, D::TDropDirection, bool> cases[] = {
        {"a row short below", justBelow + 1, D::ddDown, true}, {"just room below", justBelow, D::ddDown, false},
        {"at the top", screen.top() + 10, D::ddUp, false},     {"middle, set up", middle, D::ddUp, true},
    };
    for (const auto &[name, top, direction, up] : cases) {
        SCOPED_TRACE(name);
        edit.SetDropDirection(direction);
        edit.setGeometry(screen.left() + 10, top, 121, height);
        ASSERT_EQ(edit.mapToGlobal(QPoint()).y(), top);
        QTest::keyClick(&edit, Qt::Key_F4);
        ASSERT_NE(openList(), nullptr);
        const QRect popup = QApplication::activePopupWidget()->geometry();
        EXPECT_EQ(up ? popup.bottom() + 1 : popup.top(), up ? top : top + height);
        EXPECT_EQ(edit.DropDirection(), direction);
        QTest::keyClick(openList(), Qt::Key_Escape);
    }

}

} // namespace
