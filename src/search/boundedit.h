#pragma once
#include <QLineEdit>

// The field of a bound cell. What it holds is selected whenever it gets the focus, and the first
// click into it (the usual second click on a cell) keeps that selection: typing replaces the "0"
// of no bound instead of running on after it.
class BoundEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_firstClick = true;
    bool m_swallowRelease = false;
};
