#include "wizard/FontDialog.h"

#include <QColorDialog>
#include <QFontDialog>

TFontDialog::TFontDialog(QObject *parent) : QObject(parent), Font(QStringLiteral("Arial"), 12)
{
    Font.setBold(false);
    Font.setItalic(false);
    Font.setUnderline(false);
    Font.setStrikeOut(false);
}

QColor TFontDialog::ColorFromValue(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int TFontDialog::ValueFromColor(const QColor &color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

bool TFontDialog::Execute(QWidget *parent)
{
    bool ok = false;
    // Labels are written into the PDF as outlines of a scalable font.
    const QFont chosen = QFontDialog::getFont(&ok, Font, parent, QStringLiteral("Font"),
                                              QFontDialog::ScalableFonts);
    if (!ok)
        return false;
    Font = chosen;
    const QColor colour = QColorDialog::getColor(ColorFromValue(Color), parent, QStringLiteral("Font colour"));
    if (colour.isValid())
        Color = ValueFromColor(colour);
    return true;
}
