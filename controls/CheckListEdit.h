#pragma once
// A read-only edit that shows the checked ones of its items as a bracketed,
// delimited list, e.g. [1,3]. The owner may shorten each item for the text
// (OnCheckListItemToText) and map each element of a text back to an item
// (OnTextToCheckListItem). A button at the right edge, Down, F4 or Alt+Down
// drop a check list of the items; checking there rewrites the text at once.
#include <QColor>
#include <QFont>
#include <QLineEdit>
#include <QStringList>
#include <QVector>
#include <functional>

class QListWidget;
class QListWidgetItem;
class QToolButton;

class TCheckListEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(QString TextStartChar READ TextStartChar WRITE SetTextStartChar)
    Q_PROPERTY(QString TextEndChar READ TextEndChar WRITE SetTextEndChar)
    Q_PROPERTY(QString TextDelimiter READ TextDelimiter WRITE SetTextDelimiter)
    Q_PROPERTY(int DropHeight READ DropHeight WRITE SetDropHeight)
    Q_PROPERTY(int DropWidth READ DropWidth WRITE SetDropWidth)
    Q_PROPERTY(bool DropFlat READ DropFlat WRITE SetDropFlat)
    Q_PROPERTY(TDropDirection DropDirection READ DropDirection WRITE SetDropDirection)
    Q_PROPERTY(bool DropSorted READ DropSorted WRITE SetDropSorted)
    Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE SetEditorEnabled)
    Q_PROPERTY(int DropColumns READ DropColumns WRITE SetDropColumns)
    Q_PROPERTY(QColor DropColor READ DropColor WRITE SetDropColor)
    Q_PROPERTY(QFont DropFont READ DropFont WRITE SetDropFont)
    Q_PROPERTY(bool AutoDropWidthSize READ AutoDropWidthSize WRITE SetAutoDropWidthSize)
    Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE SetAutoSelect)
    Q_PROPERTY(QString Version READ Version WRITE SetVersion)
public:
    enum TDropDirection { ddDown, ddUp };
    Q_ENUM(TDropDirection)

    // Both get the text to change in place.
    using TCheckListItemToText = std::function<void(QString &aText)>;
    using TTextToCheckListItem = std::function<void(QString &aItem)>;
    using TNotifyEvent = std::function<void()>;

    explicit TCheckListEdit(QWidget *parent = nullptr);
    ~TCheckListEdit() override;

    const QStringList &Items() const { return m_items; }
    // The states follow the items by position: new items come unchecked,
    // states of removed items go. The text is rebuilt.
    void SetItems(const QStringList &items);
    void AddItem(const QString &item);
    void ClearItems() { SetItems({}); }

    // Outside 0 .. item count - 1 both throw std::out_of_range("Index out of bounds").
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);

    // Sets the text and the states it names (see ReadStatesFromText).
    void SetText(const QString &text);

    // The index of the current item of the open drop list; -1 while it is
    // closed.
    int DropItemIndex() const;

    // Opens the list (nothing while disabled or open already) and closes it;
    // closing reads the states from the text and fires OnClose.
    void DropDown();
    void CloseUp();
    bool DroppedDown() const { return m_popup != nullptr; }

    QString TextStartChar() const { return m_textStartChar; }
    void SetTextStartChar(const QString &value);
    QString TextEndChar() const { return m_textEndChar; }
    void SetTextEndChar(const QString &value);
    QString TextDelimiter() const { return m_textDelimiter; }
    void SetTextDelimiter(const QString &value);

    int DropHeight() const { return m_dropHeight; }
    void SetDropHeight(int value) { m_dropHeight = value; }
    int DropWidth() const { return m_dropWidth; }
    void SetDropWidth(int value) { m_dropWidth = value; }
    bool DropFlat() const { return m_dropFlat; }
    void SetDropFlat(bool value) { m_dropFlat = value; }
    TDropDirection DropDirection() const { return m_dropDirection; }
    void SetDropDirection(TDropDirection value) { m_dropDirection = value; }
    // On: opening sorts the items themselves, their states with them.
    bool DropSorted() const { return m_dropSorted; }
    void SetDropSorted(bool value) { m_dropSorted = value; }
    // Stored only: the edit is read-only in any case.
    bool EditorEnabled() const { return m_editorEnabled; }
    void SetEditorEnabled(bool value) { m_editorEnabled = value; }
    // The look of the list, taken when it opens. 0 and 1 columns are one.
    int DropColumns() const { return m_dropColumns; }
    void SetDropColumns(int value) { m_dropColumns = value; }
    QColor DropColor() const { return m_dropColor; }
    void SetDropColor(const QColor &value) { m_dropColor = value; }
    QFont DropFont() const { return m_dropFont; }
    void SetDropFont(const QFont &value) { m_dropFont = value; }
    // On: the list widens to its longest item (never below DropWidth);
    // off: it is as wide as the edit.
    bool AutoDropWidthSize() const { return m_autoDropWidthSize; }
    void SetAutoDropWidthSize(bool value) { m_autoDropWidthSize = value; }
    // Off: focus from the keyboard leaves the text unselected.
    bool AutoSelect() const { return m_autoSelect; }
    void SetAutoSelect(bool value) { m_autoSelect = value; }
    QString Version() const { return QStringLiteral("1.2.2.2"); }
    void SetVersion(const QString &) {}

    // The text the states give: start char, each checked item (through
    // OnCheckListItemToText) followed by the delimiter, the last delimiter
    // dropped, end char.
    QString TextFromStates() const;

    TCheckListItemToText OnCheckListItemToText;
    TTextToCheckListItem OnTextToCheckListItem;
    TNotifyEvent OnChange;   // the text changed
    TNotifyEvent OnClose;    // the list closed
    TNotifyEvent OnClickBtn; // the button was pressed to open the list

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Popup;
    static constexpr int kCheckedBit = 8;

    void checkIndex(int index) const;
    // Clears every checked bit, then checks the first item (ignoring case)
    // equal to each element of text, after OnTextToCheckListItem.
    void ReadStatesFromText(const QString &text);
    void RebuildText();
    // Keeps the button at the right edge and the height the font needs.
    void Arrange();
    void ButtonClicked();
    void SortItems();
    // Shows the states in the open list: its rows follow the items.
    void SyncList();
    void ListItemChanged(QListWidgetItem *item);
    int PopupWidth() const;
    QRect PopupGeometry(int width) const;

    QStringList m_items;
    QVector<int> m_states;   // per item; kCheckedBit set = checked
    QString m_textStartChar = QStringLiteral("[");
    QString m_textEndChar = QStringLiteral("]");
    QString m_textDelimiter = QStringLiteral(",");
    int m_dropHeight = 100;
    int m_dropWidth;
    bool m_dropFlat = true;
    TDropDirection m_dropDirection = ddDown;
    bool m_dropSorted = false;
    bool m_editorEnabled = true;
    int m_dropColumns = 0;
    QColor m_dropColor;
    QFont m_dropFont;
    bool m_autoDropWidthSize = false;
    bool m_autoSelect = true;

    QToolButton *m_button;
    Popup *m_popup = nullptr;  // while open
    QListWidget *m_list = nullptr;
    bool m_syncing = false;    // the list is being set from the states
};
