#pragma once
// How a value cell of a grid looks, in every grid of the program.
#include <QString>
#include <QStyleOptionViewItem>

class QPainter;

// Paints one value cell as a string grid does: the selection's colours unless the cell has the
// focus, which keeps the normal colours and gets a focus frame; the text from the top left, one
// line, cut at the cell's edge. The colours follow the window's state (active, inactive,
// disabled).
void paintGridCell(QPainter* painter, const QStyleOptionViewItem& option, const QString& text);
