#pragma once
// The corner button of a table view shown as one more fixed cell: the header's bevel under the
// owner's own contents, presses handed to the owner, never "select all".
#include <QAbstractButton>
#include <QObject>
#include <QPointer>
#include <functional>

class QAbstractItemModel;
class QHeaderView;
class QMouseEvent;
class QPainter;
class QRect;
class QTableView;

class FixedCorner : public QObject {
    Q_OBJECT
public:
    // Paints the contents over the bevel; the rectangle is the whole corner.
    using Painter = std::function<void(QPainter*, const QRect&)>;
    // A press or double-click over the corner (the release is swallowed).
    using PressHandler = std::function<void(QMouseEvent*)>;

    // Takes over the corner button of `view`; call it before the view has other buttons.
    // The bevel is drawn as for a section of `bevelHeader`.
    FixedCorner(QTableView* view, QHeaderView* bevelHeader, Painter painter, PressHandler onPress);

    QAbstractButton* button() const { return m_button; }
    // `model` becomes the view's model; the corner is repainted whenever it is reset or its
    // cells or headers change.
    void setViewModel(QAbstractItemModel* model);
    void update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableView* m_view;
    QHeaderView* m_bevelHeader;
    QPointer<QAbstractButton> m_button;
    QObject* m_buttonObject;  // the same button, compared with without a cast
    Painter m_painter;
    PressHandler m_onPress;
};
