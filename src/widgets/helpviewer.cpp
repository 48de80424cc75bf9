#include "widgets/helpviewer.h"

#include <QApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "widgets/appresources.h"
#include "widgets/apputil.h"

HelpViewer::HelpViewer(const QString& helpFile, QWidget* parent)
    : QWidget(parent, Qt::Window), m_helpFile(helpFile)
{
    setObjectName(QStringLiteral("helpViewer"));
    setWindowTitle(QStringLiteral("Справка — Вельтрис"));
    setWindowIcon(programIcon());
    setFont(veltrisFont());
    // The help window alone does not keep the program running.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(m_browser);
    resize(720, 560);
}

QString HelpViewer::anchorFor(HelpTopic topic)
{
    return QStringLiteral("topic-%1").arg(static_cast<int>(topic));
}

bool HelpViewer::ensureLoaded()
{
    if (m_loaded)
        return true;
    const QFileInfo fi(m_helpFile);
    if (!fi.isFile()) {
        m_browser->setPlainText(QStringLiteral("Файл справки не найден: ") + m_helpFile);
        return false;
    }
    m_browser->setSource(QUrl::fromLocalFile(fi.absoluteFilePath()));
    m_loaded = true;
    return true;
}

void HelpViewer::showTopic(HelpTopic topic)
{
    if (ensureLoaded()) {
        QUrl url = QUrl::fromLocalFile(QFileInfo(m_helpFile).absoluteFilePath());
        url.setFragment(anchorFor(topic));
        m_browser->setSource(url);
        m_browser->scrollToAnchor(anchorFor(topic));
    }
    // Over a modal dialog the help window must be modal too, or the dialog's modality would
    // leave it visible but unusable; over the main window it stays beside it.
    const Qt::WindowModality modality =
        QApplication::activeModalWidget() && QApplication::activeModalWidget() != this ? Qt::ApplicationModal
                                                                                       : Qt::NonModal;
    if (windowModality() != modality) {
        hide();
        setWindowModality(modality);
    }
    show();
    raise();
    activateWindow();
}
