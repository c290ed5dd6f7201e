#include "controls/CheckListEdit.h"

#include <stdexcept>

TCheckListEdit::TCheckListEdit(QWidget *parent) : QLineEdit(parent), m_dropWidth(width())
{
    setReadOnly(true);
    RebuildText();
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
    setText(text);
    ReadStatesFromText(text);
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
    setText(TextFromStates());
}
