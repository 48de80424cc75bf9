// The status bar of the main window: the open base's full path, «изменена» while the base is
// modified and «только чтение» in read-only mode. Hints of menu entries show over the path for a
// moment; the two marks stay at the right.
#include <QLabel>
#include <QPainter>
#include <QStatusBar>

#include "app/mainwindow.h"

namespace {

// A path shown whole where there is room, shortened in its middle where there is not: the
// folder's start and the file's name stay readable. The label's text is always the whole path.
class PathLabel : public QLabel {
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect area = contentsRect().adjusted(margin(), 0, -margin(), 0);
        p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

}  // namespace

void MainWindow::createStatusBar()
{
    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("statusBar"));
    status->setFixedHeight(19);
    setStatusBar(status);

    m_basePathLabel = new PathLabel(status);
    m_basePathLabel->setObjectName(QStringLiteral("basePathLabel"));
    m_basePathLabel->setMargin(2);
    status->addWidget(m_basePathLabel, 1);
    m_modifiedLabel = new QLabel(QStringLiteral("изменена"), status);
    m_modifiedLabel->setObjectName(QStringLiteral("modifiedLabel"));
    status->addPermanentWidget(m_modifiedLabel);
    m_readOnlyLabel = new QLabel(QStringLiteral("только чтение"), status);
    m_readOnlyLabel->setObjectName(QStringLiteral("readOnlyLabel"));
    status->addPermanentWidget(m_readOnlyLabel);

    connect(&m_document, &Document::fileNameChanged, this, &MainWindow::updateStatusBar);
    connect(&m_document, &Document::modifiedChanged, this, &MainWindow::updateStatusBar);
    connect(&m_document, &Document::readOnlyChanged, this, &MainWindow::updateStatusBar);
    updateStatusBar();
}

void MainWindow::updateStatusBar()
{
    const QString path = m_document.fileName();
    m_basePathLabel->setText(path.isEmpty() ? QStringLiteral("Новая база") : path);
    m_basePathLabel->setToolTip(path);
    m_modifiedLabel->setVisible(m_document.isModified());
    m_readOnlyLabel->setVisible(m_document.isReadOnly());
}
