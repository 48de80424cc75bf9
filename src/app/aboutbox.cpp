#include "app/aboutbox.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "app/appresources.h"
#include "app/apputil.h"
#include "app/uiservices.h"

TAboutBox::TAboutBox(UiServices& ui, QWidget* parent) : QDialog(parent), m_ui(ui)
{
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QFont f = veltrisFont();
    setFont(f);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setFixedSize(298, 231);

    m_panel1 = new QFrame(this);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    m_panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel1->setGeometry(8, 8, 281, 185);
    m_panel1->setMouseTracking(true);
    m_panel1->installEventFilter(this);

    m_programIcon = new QLabel(m_panel1);
    m_programIcon->setObjectName(QStringLiteral("ProgramIcon"));
    m_programIcon->setPixmap(programIconPixmap());
    m_programIcon->setGeometry(8, 8, 32, 32);

    const auto label = [this](const char* name, const QString& text, int x, int y) {
        auto* l = new QLabel(text, m_panel1);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText);
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    m_productName = label("ProductName", appTitle(), 88, 16);
    m_version = label("Version", QStringLiteral("Version 0.05.1 Alfa"), 88, 40);
    m_copyright = label("Copyright", QStringLiteral("© Брамис, 2025. Все права защищены."), 8, 80);
    m_label1 = label("Label1", webAddress(), 9, 104);
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_label2 = label("Label2", mailAddress(), 8, 136);
    for (QLabel* link : {m_label1, m_label2}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setMouseTracking(true);
        link->installEventFilter(this);
        setLinkLook(link, false);
    }

    m_bitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    m_bitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    m_bitBtn1->setGeometry(112, 200, 75, 25);
    m_bitBtn1->setDefault(true);
    connect(m_bitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

QString TAboutBox::webAddress()
{
    return QStringLiteral("https://veltris.example.org");
}

QString TAboutBox::mailAddress()
{
    return QStringLiteral("veltris@example.org");
}

void TAboutBox::setLinkLook(QLabel* label, bool highlighted)
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

void TAboutBox::Label1MouseMove()
{
    setLinkLook(m_label1, true);
}

void TAboutBox::Label2MouseMove()
{
    setLinkLook(m_label2, true);
}

void TAboutBox::Panel1MouseMove()
{
    setLinkLook(m_label1, false);
    setLinkLook(m_label2, false);
}

void TAboutBox::Label1Click()
{
    m_ui.openUrl(QUrl(webAddress()));
}

void TAboutBox::Label2Click()
{
    m_ui.openUrl(QUrl(QStringLiteral("mailto:") + mailAddress()));
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    const bool onLink = watched == m_label1 || watched == m_label2;
    if (event->type() == QEvent::MouseMove) {
        // A link stays highlighted until the pointer crosses the panel.
        if (watched == m_label1)
            Label1MouseMove();
        else if (watched == m_label2)
            Label2MouseMove();
        else if (watched == m_panel1)
            Panel1MouseMove();
        return onLink;  // a move over a link is not also a move over the panel
    }
    if (onLink && event->type() == QEvent::MouseButtonPress)
        return true;
    if (onLink && event->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            if (watched == m_label1)
                Label1Click();
            else
                Label2Click();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    // Centred on the screen, not on the main window.
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(event);
}
