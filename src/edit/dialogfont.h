#pragma once
// Fonts of the parameter dialogs, by pixel height. Where the designed faces are missing, the
// nearest installed faces with Cyrillic letters stand in.
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

// The dialogs' own face (buttons and everything without a font of its own).
inline QFont dialogFont(int pixels = 11)
{
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                   QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pixels);
    return f;
}

inline QFont tahomaFont(int pixels)
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pixels);
    return f;
}

// Substitute faces run wider than the designed ones: a caption that would be clipped gets a
// smaller font (down to 8 pixels), and a label grows to its text.
inline void fitCaption(QPushButton* button)
{
    QFont f = button->font();
    const int room = button->width() - 12 - (button->icon().isNull() ? 0 : button->iconSize().width() + 4);
    while (f.pixelSize() > 8 && QFontMetrics(f).horizontalAdvance(button->text()) > room)
        f.setPixelSize(f.pixelSize() - 1);
    button->setFont(f);
}

inline void fitCaption(QLabel* label)
{
    const QSize hint = label->sizeHint();
    label->resize(qMax(label->width(), hint.width()), qMax(label->height(), hint.height()));
}
