#pragma once
// Fonts of the parameter dialogs, by pixel height. Where the faces they are laid out for are missing, the
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
                   QStringLiteral("Tahoma"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
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

// A caption keeps its dialog's font, so neighbouring buttons read alike; the button grows
// to its text where a substitute face runs wider than the face it stands in for.
inline void fitCaption(QPushButton* button)
{
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    const int need = QFontMetrics(button->font()).horizontalAdvance(button->text()) + icon + 12;
    if (need > button->width())
        button->resize(need, button->height());
}

// A label grows to its text.
inline void fitCaption(QLabel* label)
{
    const QSize hint = label->sizeHint();
    label->resize(qMax(label->width(), hint.width()), qMax(label->height(), hint.height()));
}
