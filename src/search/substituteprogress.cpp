#include "search/substituteprogress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/apputil.h"

SubstituteProgress::SubstituteProgress(const QString& what, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("substituteProgress"));
    setWindowTitle(QStringLiteral("Поиск замены"));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(what, this));
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_bar->setValue(0);
    m_bar->setMinimumWidth(320);
    layout->addWidget(m_bar);
    m_cancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelSearchButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);
    connect(m_cancelButton, &QPushButton::clicked, this, &SubstituteProgress::cancelRequested);
    connect(this, &QDialog::rejected, this, &SubstituteProgress::cancelRequested);
    setHelpContext(this, HelpTopic::Substitute);
}

void SubstituteProgress::setProgress(std::size_t done, std::size_t total)
{
    if (total > 0)
        m_bar->setValue(static_cast<int>(1000.0 * static_cast<double>(done) / static_cast<double>(total)));
}

void SubstituteProgress::showCancelling()
{
    m_cancelButton->setEnabled(false);
    m_cancelButton->setText(QStringLiteral("Отмена…"));
}
