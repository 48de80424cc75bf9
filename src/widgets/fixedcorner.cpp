#include "widgets/fixedcorner.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QTableView>

FixedCorner::FixedCorner(QTableView* view, QHeaderView* bevelHeader, Painter painter, PressHandler onPress)
    : QObject(view), m_view(view), m_bevelHeader(bevelHeader), m_button(view->findChild<QAbstractButton*>()),
      m_buttonObject(m_button.data()), m_painter(std::move(painter)), m_onPress(std::move(onPress))
{
    if (m_button)
        m_button->installEventFilter(this);
}

void FixedCorner::setViewModel(QAbstractItemModel* model)
{
    m_view->setModel(model);
    if (!m_button || !model)
        return;
    connect(model, &QAbstractItemModel::modelReset, m_button, qOverload<>(&QWidget::update));
    connect(model, &QAbstractItemModel::dataChanged, m_button, qOverload<>(&QWidget::update));
    connect(model, &QAbstractItemModel::headerDataChanged, m_button, qOverload<>(&QWidget::update));
}

void FixedCorner::update()
{
    if (m_button)
        m_button->update();
}

bool FixedCorner::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: while the button is being destroyed it still sends events (the view's
    // destructor takes its children apart), and the pointer to it must not be read as a button
    // then. Paints and presses come only to a whole button.
    const QEvent::Type type = event->type();
    const bool handled = type == QEvent::Paint || type == QEvent::MouseButtonPress ||
                         type == QEvent::MouseButtonDblClick || type == QEvent::MouseButtonRelease;
    if (!handled || watched != m_buttonObject || m_button.isNull())
        return QObject::eventFilter(watched, event);
    switch (type) {
    case QEvent::Paint: {
        QPainter p(m_button);
        QStyleOptionHeader opt;
        opt.initFrom(m_button);
        opt.rect = m_button->rect();
        opt.position = QStyleOptionHeader::OnlyOneSection;
        opt.orientation = Qt::Horizontal;
        m_view->style()->drawControl(QStyle::CE_HeaderSection, &opt, &p, m_bevelHeader);
        if (m_painter)
            m_painter(&p, m_button->rect());
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (m_onPress)
            m_onPress(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease: return true;
    default: return QObject::eventFilter(watched, event);
    }
}
