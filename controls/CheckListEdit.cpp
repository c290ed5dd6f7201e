#include "controls/CheckListEdit.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <utility>

namespace {
constexpr int kButtonWidth = 15;
constexpr int kButtonHeight = 17;
constexpr int kButtonGap = 3; // between the text and the button

Qt::KeyboardModifiers Modifiers(const QKeyEvent *key)
{
    return key->modifiers() & ~Qt::KeypadModifier;
}
} // namespace

// Qt closes a popup on a press outside it and then replays the press to the
// widget under the mouse: on the drop button that would reopen the list.
class TCheckListEdit::Popup : public QFrame {
public:
    explicit Popup(TCheckListEdit *owner) : QFrame(owner, Qt::Popup), m_owner(owner) {}

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        const QWidget *button = m_owner->m_button;
        if (button->rect().contains(button->mapFromGlobal(event->globalPosition().toPoint())))
            setAttribute(Qt::WA_NoMouseReplay);
        QFrame::mousePressEvent(event);
    }

private:
    TCheckListEdit *m_owner;
};

TCheckListEdit::TCheckListEdit(QWidget *parent)
    : QLineEdit(parent), m_dropWidth(width()), m_dropColor(palette().color(QPalette::Base)), m_dropFont(font()),
      m_button(new QToolButton(this))
{
    setReadOnly(true);
    m_button->setArrowType(Qt::DownArrow);
    m_button->setAutoRaise(true);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setCursor(Qt::ArrowCursor);
    setTextMargins(0, 0, kButtonWidth + kButtonGap, 0);
    connect(m_button, &QToolButton::clicked, this, &TCheckListEdit::ButtonClicked);
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (OnChange)
            OnChange();
    });
    Arrange();
    RebuildText();
}

TCheckListEdit::~TCheckListEdit()
{
    // Closing now would call OnClose into an owner that is going away.
    m_list = nullptr;
    delete std::exchange(m_popup, nullptr);
}

void TCheckListEdit::SetItems(const QStringList &items)
{
    m_items = items;
    m_states.resize(m_items.size()); // new entries are 0: unchecked
    RebuildText();
}

void TCheckListEdit::AddItem(const QString &item)
{
    m_items.append(item);
    m_states.append(0);
    RebuildText();
}

void TCheckListEdit::checkIndex(int index) const
{
    if (index < 0 || index >= m_items.size())
        throw std::out_of_range("Index out of bounds");
}

bool TCheckListEdit::Checked(int index) const
{
    checkIndex(index);
    return m_states[index] & kCheckedBit;
}

void TCheckListEdit::SetChecked(int index, bool checked)
{
    checkIndex(index);
    if (checked)
        m_states[index] |= kCheckedBit;
    else
        m_states[index] &= ~kCheckedBit;
    RebuildText();
}

void TCheckListEdit::SetText(const QString &text)
{
    // States first: OnChange may read them.
    ReadStatesFromText(text);
    SyncList();
    setText(text);
}

int TCheckListEdit::DropItemIndex() const
{
    return m_list ? m_list->currentRow() : -1;
}

void TCheckListEdit::SetTextStartChar(const QString &value)
{
    m_textStartChar = value;
    RebuildText();
}

void TCheckListEdit::SetTextEndChar(const QString &value)
{
    m_textEndChar = value;
    RebuildText();
}

void TCheckListEdit::SetTextDelimiter(const QString &value)
{
    m_textDelimiter = value;
    RebuildText();
}

QString TCheckListEdit::TextFromStates() const
{
    QStringList parts;
    for (int i = 0; i < m_items.size(); ++i) {
        if (!(m_states[i] & kCheckedBit))
            continue;
        QString item = m_items[i];
        if (OnCheckListItemToText)
            OnCheckListItemToText(item);
        parts.append(item);
    }
    return m_textStartChar + parts.join(m_textDelimiter) + m_textEndChar;
}

void TCheckListEdit::ReadStatesFromText(const QString &text)
{
    QString rest = text;
    if (!m_textEndChar.isEmpty()) {
        const int at = rest.indexOf(m_textEndChar);
        if (at >= 0)
            rest.remove(at, m_textEndChar.size());
    }
    if (!m_textStartChar.isEmpty()) {
        const int at = rest.indexOf(m_textStartChar);
        if (at >= 0)
            rest.remove(at, m_textStartChar.size());
    }
    for (int &state : m_states)
        state &= ~kCheckedBit;
    while (!rest.isEmpty()) {
        const int at = m_textDelimiter.isEmpty() ? -1 : rest.indexOf(m_textDelimiter);
        QString element = at < 0 ? rest : rest.left(at);
        rest = at < 0 ? QString() : rest.mid(at + m_textDelimiter.size());
        if (OnTextToCheckListItem)
            OnTextToCheckListItem(element);
        for (int i = 0; i < m_items.size(); ++i) {
            if (m_items[i].compare(element, Qt::CaseInsensitive) == 0) {
                m_states[i] |= kCheckedBit;
                break;
            }
        }
    }
}

void TCheckListEdit::RebuildText()
{
    SyncList();
    setText(TextFromStates());
}

void TCheckListEdit::Arrange()
{
    setMinimumHeight(minimumSizeHint().height());
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    m_button->setGeometry(contents.right() + 1 - kButtonWidth, (height() - kButtonHeight) / 2, kButtonWidth,
                          kButtonHeight);
}

void TCheckListEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    Arrange();
}

void TCheckListEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Arrange();
}

void TCheckListEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (!m_autoSelect)
        deselect();
}

void TCheckListEdit::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = Modifiers(event);
    if ((event->key() == Qt::Key_F4 && modifiers == Qt::NoModifier) ||
        (event->key() == Qt::Key_Down && (modifiers == Qt::NoModifier || modifiers == Qt::AltModifier))) {
        DropDown();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TCheckListEdit::ButtonClicked()
{
    if (m_popup) {
        CloseUp();
        return;
    }
    if (OnClickBtn)
        OnClickBtn();
    setFocus(Qt::MouseFocusReason); // the keyboard comes back here when the list closes
    DropDown();
}

void TCheckListEdit::SortItems()
{
    QVector<int> order(m_items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return QString::localeAwareCompare(m_items[a], m_items[b]) < 0; });
    QStringList items;
    QVector<int> states;
    for (const int i : order) {
        items.append(m_items[i]);
        states.append(m_states[i]);
    }
    m_items = items;
    m_states = states;
    // The text may name items by position; rebuilt, it names the same ones.
    RebuildText();
}

void TCheckListEdit::SyncList()
{
    if (!m_list)
        return;
    const QScopedValueRollback<bool> syncing(m_syncing, true);
    while (m_list->count() > m_items.size())
        delete m_list->takeItem(m_list->count() - 1);
    for (int i = 0; i < m_items.size(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        if (!item) {
            item = new QListWidgetItem(m_list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        }
        item->setText(m_items[i]);
        item->setCheckState(m_states[i] & kCheckedBit ? Qt::Checked : Qt::Unchecked);
    }
}

void TCheckListEdit::ListItemChanged(QListWidgetItem *item)
{
    if (m_syncing)
        return;
    m_list->setCurrentItem(item);
    for (int i = 0; i < m_list->count() && i < m_states.size(); ++i) {
        if (m_list->item(i)->checkState() == Qt::Checked)
            m_states[i] |= kCheckedBit;
        else
            m_states[i] &= ~kCheckedBit;
    }
    RebuildText();
}

int TCheckListEdit::PopupWidth() const
{
    if (!m_autoDropWidthSize)
        return width();
    m_list->ensurePolished();
    const QStyle *style = m_list->style();
    const int frames = 2 * m_list->frameWidth();
    const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, m_list);
    const QFontMetrics metrics(m_list->font());
    int widest = 0;
    int height = 0;
    for (int i = 0; i < m_list->count(); ++i) {
        // Qt's items keep margins of their own around the text and the box.
        const int item = metrics.horizontalAdvance(m_list->item(i)->text()) + indicator + 2;
        widest = std::max({widest, item, m_list->sizeHintForIndex(m_list->model()->index(i, 0)).width()});
        height += m_list->sizeHintForRow(i);
    }
    const int columns = std::max(1, m_dropColumns);
    int width = widest * columns + frames;
    if (columns == 1 && height > m_dropHeight - frames)
        width += style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_list);
    return std::max(m_dropWidth, width);
}

QRect TCheckListEdit::PopupGeometry(int width) const
{
    const QRect screen = this->screen()->availableGeometry();
    const QPoint top = mapToGlobal(QPoint(0, 0));
    const int bottom = top.y() + height();
    const bool roomBelow = bottom + m_dropHeight <= screen.bottom() + 1;
    const bool roomAbove = top.y() - m_dropHeight >= screen.top();
    const bool up = roomAbove && (!roomBelow || m_dropDirection == ddUp);
    QRect geometry(top.x(), up ? top.y() - m_dropHeight : bottom, width, m_dropHeight);
    if (geometry.right() > screen.right())
        geometry.moveRight(screen.right());
    if (geometry.left() < screen.left())
        geometry.moveLeft(screen.left());
    return geometry;
}

void TCheckListEdit::DropDown()
{
    if (m_popup || !isEnabled())
        return;
    ReadStatesFromText(text());
    if (m_dropSorted)
        SortItems();

    m_popup = new Popup(this);
    m_list = new QListWidget(m_popup);
    auto *layout = new QVBoxLayout(m_popup);
    layout->setContentsMargins({});
    layout->addWidget(m_list);
    QPalette palette = m_list->palette();
    palette.setColor(QPalette::Base, m_dropColor);
    palette.setColor(QPalette::Window, m_dropColor);
    m_list->setPalette(palette);
    m_list->setFont(m_dropFont);
    m_list->setFrameStyle(m_dropFlat ? QFrame::Box | QFrame::Plain : QFrame::StyledPanel | QFrame::Sunken);
    SyncList();
    m_list->setCurrentRow(0);

    const int width = PopupWidth();
    if (m_dropColumns > 1) {
        // Columns of equal width filled top to bottom, as a list box does.
        m_list->setFlow(QListView::TopToBottom);
        m_list->setWrapping(true);
        m_list->setGridSize(QSize((width - 2 * m_list->frameWidth()) / m_dropColumns, m_list->sizeHintForRow(0)));
    }
    m_popup->setGeometry(PopupGeometry(width));

    connect(m_list, &QListWidget::itemChanged, this, &TCheckListEdit::ListItemChanged);
    connect(qApp, &QGuiApplication::applicationStateChanged, m_popup, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            CloseUp();
    });
    m_list->installEventFilter(this);
    m_popup->installEventFilter(this);
    m_popup->show();
    m_list->setFocus(Qt::PopupFocusReason);
}

void TCheckListEdit::CloseUp()
{
    if (!m_popup)
        return;
    Popup *popup = std::exchange(m_popup, nullptr);
    QListWidget *list = std::exchange(m_list, nullptr);
    popup->removeEventFilter(this);
    list->removeEventFilter(this);
    disconnect(list, nullptr, this, nullptr);
    popup->hide();
    popup->deleteLater();
    ReadStatesFromText(text());
    if (OnClose)
        OnClose();
}

bool TCheckListEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (m_popup && watched == m_popup) {
        if (event->type() == QEvent::Hide || event->type() == QEvent::WindowDeactivate)
            CloseUp();
    } else if (m_list && watched == m_list) {
        if (event->type() == QEvent::FocusOut) {
            CloseUp();
        } else if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const Qt::KeyboardModifiers modifiers = Modifiers(key);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
                return true;
            if (key->key() == Qt::Key_Escape || (key->key() == Qt::Key_F4 && modifiers == Qt::NoModifier) ||
                (key->key() == Qt::Key_Up && modifiers == Qt::AltModifier)) {
                CloseUp();
                return true;
            }
        }
    }
    return QLineEdit::eventFilter(watched, event);
}
