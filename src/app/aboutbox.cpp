#include "app/aboutbox.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "ui/uiservices.h"
#include "widgets/appresources.h"
#include "widgets/apputil.h"

AboutBox::AboutBox(UiServices& ui, QWidget* parent) : QDialog(parent), m_ui(ui)
{
    setUpFixedDialog(this, "aboutBox", QStringLiteral("О программе"));
    QFont f = veltrisFont();
    setFont(f);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setFixedSize(298, 231);

    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("panel"));
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel->setGeometry(8, 8, 281, 185);
    m_panel->setMouseTracking(true);
    m_panel->installEventFilter(this);

    m_programIcon = new QLabel(m_panel);
    m_programIcon->setObjectName(QStringLiteral("programIcon"));
    m_programIcon->setPixmap(programIconPixmap());
    m_programIcon->setGeometry(8, 8, 32, 32);

    const auto label = [this](const char* name, const QString& text, int x, int y) {
        auto* l = new QLabel(text, m_panel);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText);
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    m_productName = label("productNameLabel", appTitle(), 88, 16);
    m_version = label("versionLabel", QStringLiteral("Version 0.05.1 Alfa"), 88, 40);
    m_copyright = label("copyrightLabel", QStringLiteral("© Брамис, 2025. Все права защищены."), 8, 80);
    m_webLink = label("webLink", webAddress(), 9, 104);
    m_webLink->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_mailLink = label("mailLink", mailAddress(), 8, 136);
    for (QLabel* link : {m_webLink, m_mailLink}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setMouseTracking(true);
        link->installEventFilter(this);
        setLinkLook(link, false);
    }

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setGeometry(112, 200, 75, 25);
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

QString AboutBox::webAddress()
{
    return QStringLiteral("https://veltris.example.org");
}

QString AboutBox::mailAddress()
{
    return QStringLiteral("veltris@example.org");
}

void AboutBox::setLinkLook(QLabel* label, bool highlighted)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, highlighted ? QColor(Qt::red) : QColor(Qt::blue));
    label->setPalette(pal);
    QFont f = label->font();
    f.setBold(false);
    f.setItalic(false);
    f.setStrikeOut(false);
    f.setUnderline(highlighted);
    label->setFont(f);
    label->adjustSize();
}

void AboutBox::highlightWebLink()
{
    setLinkLook(m_webLink, true);
}

void AboutBox::highlightMailLink()
{
    setLinkLook(m_mailLink, true);
}

void AboutBox::unhighlightLinks()
{
    setLinkLook(m_webLink, false);
    setLinkLook(m_mailLink, false);
}

void AboutBox::openWebSite()
{
    m_ui.openUrl(QUrl(webAddress()));
}

void AboutBox::writeMail()
{
    m_ui.openUrl(QUrl(QStringLiteral("mailto:") + mailAddress()));
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event)
{
    const bool onLink = watched == m_webLink || watched == m_mailLink;
    if (event->type() == QEvent::MouseMove) {
        // A link stays highlighted until the pointer crosses the panel.
        if (watched == m_webLink)
            highlightWebLink();
        else if (watched == m_mailLink)
            highlightMailLink();
        else if (watched == m_panel)
            unhighlightLinks();
        return onLink;  // a move over a link is not also a move over the panel
    }
    if (onLink && event->type() == QEvent::MouseButtonPress)
        return true;
    if (onLink && event->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            if (watched == m_webLink)
                openWebSite();
            else
                writeMail();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AboutBox::showEvent(QShowEvent* event)
{
    // Centred on the screen, not on the main window.
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(event);
}
