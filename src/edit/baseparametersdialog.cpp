#include "edit/baseparametersdialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>

#include "base/catalogue.h"
#include "document/document.h"
#include "ui/uiservices.h"
#include "widgets/apputil.h"
#include "widgets/dialogfont.h"

namespace {

// The type buttons' names by code - 1, which help and tests look them up by.
constexpr const char* kTypeButtonNames[BaseParametersDialog::kTypeButtonCount] = {
    "typeButton1", "typeButton2", "typeButton3", "typeButton4", "typeButton5", "typeButton6", "typeButton7"};

// The widest one-line parameter name of every device type in `fm`.
int widestName(const veltris::Catalogue& cat, const QFontMetrics& fm)
{
    int widest = 0;
    for (const veltris::DeviceType& type : veltris::supportedDeviceTypes())
        for (int k = 1; k <= type.columnCount; ++k)
            for (int m = 1; m <= cat.nameCount(type.code, k); ++m)
                widest = std::max(widest, fm.horizontalAdvance(oneLineTitle(cat.name(type.code, k, m))));
    return widest;
}

// The room for the chosen text in a selector `width` pixels wide (without frame and arrow).
int comboTextRoom(QComboBox* combo, int width)
{
    QStyleOptionComboBox opt;
    opt.initFrom(combo);
    opt.rect = QRect(0, 0, width, 24);
    return combo->style()
        ->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo)
        .width();
}

}  // namespace

BaseParametersDialog::BaseParametersDialog(Document& document, QWidget* parent)
    : QDialog(parent), m_document(document)
{
    setUpFixedDialog(this, "baseParametersDialog", QStringLiteral("Параметры базы"));
    setFont(dialogFont());

    m_titlesBox = new QGroupBox(QStringLiteral("Заголовки столбцов"), this);
    m_titlesBox->setObjectName(QStringLiteral("titlesBox"));
    m_titlesBox->setFont(tahomaFont(15));
    for (int k = 1; k <= kTitleCount; ++k) {
        auto* c = new QComboBox(m_titlesBox);
        c->setObjectName(QStringLiteral("titleBox%1").arg(k));
        c->setFont(tahomaFont(13));
        c->setEditable(false);
        m_combos[static_cast<size_t>(k - 1)] = c;
    }
    // The selectors are 145 pixels wide, wider where the longest parameter name needs it; the
    // controls right of them move over by as much.
    const int comboWidth =
        std::max(145, widestName(m_document.catalogue(), QFontMetrics(m_combos[0]->font())) + 145 -
                          comboTextRoom(m_combos[0], 145));
    const int shift = 3 * (comboWidth - 145);
    for (int k = 1; k <= kTitleCount; ++k) {
        const int column = (k - 1) / 10;
        m_combos[static_cast<size_t>(k - 1)]->setGeometry(8 + column * (comboWidth + 31),
                                                          24 + 24 * ((k - 1) % 10), comboWidth, 24);
    }
    m_titlesBox->setGeometry(8, 8, 513 + shift, 273);
    setFixedSize(782 + shift, 393);

    const auto button = [this, shift](const char* name, const QString& text, int x, int y, int w) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x + shift, y, w, 25);
        return b;
    };
    for (int code = 1; code <= kTypeButtonCount; ++code) {
        QPushButton* b =
            button(kTypeButtonNames[code - 1], QString::fromUtf8(veltris::deviceTypeCaption(code)), 528,
                   16 + 32 * (code - 1), 137);
        if (veltris::findDeviceType(code))
            connect(b, &QPushButton::clicked, this, [this, code] { loadDeviceType(code); });
        m_typeButtons[static_cast<size_t>(code - 1)] = b;
    }
    m_defaultButton = button("defaultButton", QStringLiteral("По умолчанию"), 672, 16, 105);
    m_okButton = button("okButton", QStringLiteral("OK"), 672, 48, 105);
    m_cancelButton = button("cancelButton", QStringLiteral("Отмена"), 672, 80, 105);
    m_helpButton = button("helpButton", QStringLiteral("&Помощь"), 672, 112, 105);
    m_okButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    m_cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_helpButton->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    m_okButton->setDefault(true);
    setDeviceButtonsEnabled(false);
    for (QPushButton* b : findChildren<QPushButton*>())
        fitCaption(b);

    m_descriptionLabel = new QLabel(QStringLiteral("Описание базы"), this);
    m_descriptionLabel->setObjectName(QStringLiteral("descriptionLabel"));
    m_descriptionLabel->setFont(tahomaFont(15));
    m_descriptionLabel->setGeometry(8, 288, 108, 22);
    fitCaption(m_descriptionLabel);

    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setFont(tahomaFont(15));
    m_description->setGeometry(8, 312, 769 + shift, 73);
    // One line per description: no soft breaks that would look like a second line.
    m_description->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_description->setTabChangesFocus(true);

    connect(m_defaultButton, &QPushButton::clicked, this, &BaseParametersDialog::chooseFirstNames);
    connect(m_okButton, &QPushButton::clicked, this, &BaseParametersDialog::acceptChoices);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_helpButton, &QPushButton::clicked, this, &BaseParametersDialog::showHelp);

    QWidget* previous = m_combos[0];
    const auto chain = [&previous](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (int k = 2; k <= kTitleCount; ++k)
        chain(comboBox(k));
    for (QPushButton* b : m_typeButtons)
        chain(b);
    for (QWidget* w : {static_cast<QWidget*>(m_defaultButton), static_cast<QWidget*>(m_okButton),
                       static_cast<QWidget*>(m_cancelButton), static_cast<QWidget*>(m_helpButton),
                       static_cast<QWidget*>(m_description)})
        chain(w);

    // Key preview: F1 reaches the dialog whichever control has the focus.
    installKeyPreview(this, [this](QWidget*, QKeyEvent* event) { return handleHelpKey(event); });
}

void BaseParametersDialog::setDeviceButtonsEnabled(bool enabled)
{
    for (int code = 1; code <= kTypeButtonCount; ++code)
        m_typeButtons[static_cast<size_t>(code - 1)]->setEnabled(enabled && veltris::findDeviceType(code));
}

void BaseParametersDialog::setDescriptionLine(const QString& text)
{
    const QString all = m_description->toPlainText();
    const qsizetype nl = all.indexOf(QLatin1Char('\n'));
    m_description->setPlainText(text + (nl < 0 ? QString() : all.mid(nl)));
}

QString BaseParametersDialog::descriptionLine() const
{
    const QString all = m_description->toPlainText();
    const qsizetype nl = all.indexOf(QLatin1Char('\n'));
    return nl < 0 ? all : all.left(nl);
}

void BaseParametersDialog::showEvent(QShowEvent* event)
{
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(event);
    if (!event->spontaneous())
        showDeviceTypeChoices();
}

void BaseParametersDialog::showDeviceTypeChoices()
{
    if (veltris::findDeviceType(m_deviceType)) {
        loadDeviceType(m_deviceType);
        return;
    }
    // No catalogue: nothing to choose from, and names left from another base would mislead.
    for (QComboBox* c : m_combos) {
        c->clear();
        c->setEnabled(false);
    }
}

void BaseParametersDialog::loadDeviceType(int code)
{
    const veltris::Catalogue& cat = m_document.catalogue();
    const int n = veltris::parameterColumnCount(code);
    const auto& map = m_document.base().columnMap;
    for (int k = 1; k <= kTitleCount; ++k) {
        QComboBox* c = comboBox(k);
        const QSignalBlocker block(c);
        c->clear();
        if (k <= n) {
            QStringList names;
            for (int m = 1; m <= cat.nameCount(code, k); ++m)
                names << oneLineTitle(cat.name(code, k, m));
            c->addItems(names);
        }
        c->setEnabled(k <= n);
        const int index = map[static_cast<size_t>(k - 1)] - 1;
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    }
    m_deviceType = code;
}

void BaseParametersDialog::chooseFirstNames()
{
    for (QComboBox* c : m_combos)
        if (c->count() > 0)
            c->setCurrentIndex(0);
}

void BaseParametersDialog::acceptChoices()
{
    // A base of a type without a catalogue keeps its column map: there was nothing to choose.
    m_columnMap = m_document.base().columnMap;
    if (veltris::findDeviceType(m_deviceType)) {
        for (int k = 1; k <= kTitleCount; ++k)
            m_columnMap[static_cast<size_t>(k - 1)] =
                static_cast<std::uint8_t>(comboBox(k)->currentIndex() + 1);
    }
    accept();
}

void BaseParametersDialog::showHelp()
{
    m_document.ui().showHelp(HelpTopic::BaseParameters);
}

bool BaseParametersDialog::handleHelpKey(QKeyEvent* event)
{
    if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier)
        return false;
    m_document.ui().showHelp(HelpTopic::BaseParameters);
    return true;
}
