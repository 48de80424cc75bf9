#pragma once
// Layout rules every dialog keeps, checked from outside: no named control overlaps a named
// sibling, none reaches outside its parent, and every button and label caption fits its control.
#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>

// The broken rules, one line each; empty when the layout is sound.
inline QStringList layoutProblems(const QWidget* dialog)
{
    QStringList problems;
    QList<const QWidget*> controls;
    for (const QWidget* w : dialog->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")) && w->isVisibleTo(dialog))
            controls << w;
    }
    for (const QWidget* w : controls) {
        const QWidget* parent = w->parentWidget();
        if (!parent->rect().contains(w->geometry()))
            problems << w->objectName() + QStringLiteral(" leaves ") + parent->objectName();
        for (const QWidget* other : controls)
            if (other != w && other->parentWidget() == parent && w->objectName() < other->objectName() &&
                w->geometry().intersects(other->geometry()))
                problems << w->objectName() + QStringLiteral(" overlaps ") + other->objectName();
        if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            const int icon = b->icon().isNull() ? 0 : b->iconSize().width() + 4;
            if (QFontMetrics(b->font()).horizontalAdvance(b->text().remove(QLatin1Char('&'))) + icon >
                b->width())
                problems << w->objectName() + QStringLiteral(": caption cut");
        } else if (const auto* l = qobject_cast<const QLabel*>(w)) {
            // Rich text is measured as the words it shows, not its markup.
            QString shown = l->text();
            if (l->textFormat() == Qt::RichText ||
                (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(shown))) {
                QTextDocument doc;
                doc.setHtml(shown);
                shown = doc.toPlainText();
            }
            if (!shown.isEmpty() && l->pixmap().isNull() &&
                QFontMetrics(l->font()).horizontalAdvance(shown) > l->width())
                problems << w->objectName() + QStringLiteral(": text cut");
        }
    }
    return problems;
}
