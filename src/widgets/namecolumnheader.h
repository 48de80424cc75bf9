#pragma once
// The first column of a table kept in view while the table scrolls sideways: the view's vertical
// header shows each row's name (the model's vertical header data: text, colours, tool tip) at
// the left, and the corner above it shows a caption on the header's bevel. A click on a name
// selects its row; a double-click is reported.
#include <QHeaderView>
#include <QString>

class FixedCorner;
class QTableView;

class NameColumnHeader : public QHeaderView {
    Q_OBJECT
public:
    // Becomes the vertical header of `view` and takes over its corner; call it before the view
    // gets its model (setViewModel sets it).
    NameColumnHeader(QTableView* view, const QString& caption);

    // `model` becomes the view's model; the column is fitted to the names whenever it is reset.
    void setViewModel(QAbstractItemModel* model);
    // Width for the caption and the names: the first kMeasuredNames of them are measured (the
    // rest seldom differ, and a long list must not cost a pass over every name), at most
    // kMaxWidthChars average characters.
    void fitToNames();
    QSize sizeHint() const override;

    static constexpr int kMeasuredNames = 2000;
    static constexpr int kMaxWidthChars = 40;

signals:
    void nameDoubleClicked(int row);

private:
    QTableView* m_view;
    QString m_caption;
    FixedCorner* m_corner = nullptr;
    int m_width = 0;
};
