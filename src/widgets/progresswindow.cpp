#include "widgets/progresswindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(QWidget* parent, const QString& name, const QString& title) : QDialog(parent)
{
    setObjectName(name);
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_label->setObjectName(name + QStringLiteral("Text"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);  // a long file name takes more lines, not the whole screen
    layout->addWidget(m_label);
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0);  // busy: the work reports its step, not a fraction
    bar->setMinimumWidth(360);
    layout->addWidget(bar);
}

void ProgressWindow::setText(const QString& text)
{
    m_label->setText(text);
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
