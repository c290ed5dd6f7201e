#pragma once
// The label font of the layout step: a font with a colour and a character
// set, chosen by the user in the platform's font dialog.
#include <QFont>
#include <QObject>

class QWidget;

class TFontDialog : public QObject {
    Q_OBJECT
public:
    explicit TFontDialog(QObject *parent = nullptr);

    // Family, size in points and the styles (bold, italic, underline,
    // strike-out).
    QFont Font;
    // 0x00BBGGRR, as the colour is stored in the settings.
    int Color = 0;
    // Kept as stored; Qt chooses glyphs without character sets.
    int Charset = 1;

    // Shows the font dialog and then a colour choice; true when the user
    // confirmed the font. The colour choice has a cancel of its own that
    // keeps the colour as it was.
    bool Execute(QWidget *parent);

    static QColor ColorFromValue(int value);
    static int ValueFromColor(const QColor &color);
};
