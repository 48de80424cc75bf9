#include "edit/parambase.h"

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

#include "app/apputil.h"
#include "app/sdimain.h"
#include "app/uiservices.h"
#include "base/catalogue.h"
#include "base/devicetype.h"
#include "edit/dialogfont.h"

namespace {

constexpr int kHelpTopic = 26;

// The widest one-line parameter name of every device type in `fm`.
int widestName(const veltris::Catalogue& cat, const QFontMetrics& fm)
{
    int widest = 0;
    for (int code = 1; code <= 7; ++code)
        for (int k = 1; k <= veltris::parameterColumnCount(code); ++k)
            for (int m = 1; m <= cat.nameCount(code, k); ++m)
                widest = std::max(widest, fm.horizontalAdvance(oneLineTitle(cat.name(code, k, m))));
    return widest;
}

// The room for the chosen text in a selector `width` pixels wide (without frame and arrow).
int comboTextRoom(QComboBox* combo, int width)
{
    QStyleOptionComboBox opt;
    opt.initFrom(combo);
    opt.rect = QRect(0, 0, width, 24);
    return combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo).width();
}

}  // namespace

TParamBase::TParamBase(TSDIAppForm& form) : QDialog(&form), m_form(form)
{
    setObjectName(QStringLiteral("TParamBase"));
    setWindowTitle(QStringLiteral("Параметры базы"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(dialogFont());

    m_groupBox1 = new QGroupBox(QStringLiteral("Заголовки столбцов"), this);
    m_groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    m_groupBox1->setFont(tahomaFont(15));
    for (int k = 1; k <= 30; ++k) {
        auto* c = new QComboBox(m_groupBox1);
        c->setObjectName(QStringLiteral("ComboBox%1").arg(k));
        c->setFont(tahomaFont(13));
        c->setEditable(false);
        m_combos[static_cast<size_t>(k - 1)] = c;
    }
    // The selectors are 145 pixels wide, wider where the longest parameter name needs it; the
    // controls right of them move over by as much.
    const int comboWidth = std::max(145, widestName(m_form.catalogue(), QFontMetrics(m_combos[0]->font())) +
                                                 145 - comboTextRoom(m_combos[0], 145));
    const int shift = 3 * (comboWidth - 145);
    for (int k = 1; k <= 30; ++k) {
        const int column = (k - 1) / 10;
        m_combos[static_cast<size_t>(k - 1)]->setGeometry(8 + column * (comboWidth + 31),
                                                          24 + 24 * ((k - 1) % 10), comboWidth, 24);
    }
    m_groupBox1->setGeometry(8, 8, 513 + shift, 273);
    setFixedSize(782 + shift, 393);

    const auto button = [this, shift](const char* name, const QString& text, int x, int y, int w) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x + shift, y, w, 25);
        return b;
    };
    m_bitBtn1 = button("BitBtn1", QStringLiteral("Биполярные транзисторы"), 528, 16, 137);
    m_bitBtn2 = button("BitBtn2", QStringLiteral("Полевые транзисторы"), 528, 48, 137);
    m_bitBtn3 = button("BitBtn3", QStringLiteral("Диоды"), 528, 80, 137);
    m_bitBtn4 = button("BitBtn4", QStringLiteral("Стабилитроны"), 528, 112, 137);
    m_bitBtn9 = button("BitBtn9", QStringLiteral("Варикапы"), 528, 144, 137);
    m_bitBtn10 = button("BitBtn10", QStringLiteral("Тиристоры"), 528, 176, 137);
    m_bitBtn11 = button("BitBtn11", QStringLiteral("Светодиоды"), 528, 208, 137);
    m_bitBtn7 = button("BitBtn7", QStringLiteral("По умолчанию"), 672, 16, 105);
    m_bitBtn5 = button("BitBtn5", QStringLiteral("OK"), 672, 48, 105);
    m_bitBtn6 = button("BitBtn6", QStringLiteral("Отмена"), 672, 80, 105);
    m_bitBtn8 = button("BitBtn8", QStringLiteral("&Помощь"), 672, 112, 105);
    m_bitBtn5->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    m_bitBtn6->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_bitBtn8->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    m_bitBtn5->setDefault(true);
    setDeviceButtonsEnabled(false);
    for (QPushButton* b : findChildren<QPushButton*>())
        fitCaption(b);

    m_staticText1 = new QLabel(QStringLiteral("Описание базы"), this);
    m_staticText1->setObjectName(QStringLiteral("StaticText1"));
    m_staticText1->setFont(tahomaFont(15));
    m_staticText1->setGeometry(8, 288, 108, 22);
    fitCaption(m_staticText1);

    m_memo1 = new QPlainTextEdit(this);
    m_memo1->setObjectName(QStringLiteral("Memo1"));
    m_memo1->setFont(tahomaFont(15));
    m_memo1->setGeometry(8, 312, 769 + shift, 73);
    // One line per description: no soft breaks that would look like a second line.
    m_memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo1->setTabChangesFocus(true);

    connect(m_bitBtn1, &QPushButton::clicked, this, &TParamBase::BitBtn1Click);
    connect(m_bitBtn3, &QPushButton::clicked, this, &TParamBase::BitBtn3Click);
    connect(m_bitBtn4, &QPushButton::clicked, this, &TParamBase::BitBtn4Click);
    connect(m_bitBtn9, &QPushButton::clicked, this, &TParamBase::BitBtn9Click);
    connect(m_bitBtn10, &QPushButton::clicked, this, &TParamBase::BitBtn10Click);
    connect(m_bitBtn11, &QPushButton::clicked, this, &TParamBase::BitBtn11Click);
    connect(m_bitBtn7, &QPushButton::clicked, this, &TParamBase::BitBtn7Click);
    connect(m_bitBtn5, &QPushButton::clicked, this, &TParamBase::BitBtn5Click);
    connect(m_bitBtn6, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_bitBtn8, &QPushButton::clicked, this, &TParamBase::BitBtn8Click);

    QWidget* previous = m_combos[0];
    const auto chain = [&previous](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (int k = 2; k <= 30; ++k)
        chain(comboBox(k));
    for (QWidget* w : {static_cast<QWidget*>(m_bitBtn1), static_cast<QWidget*>(m_bitBtn2),
                       static_cast<QWidget*>(m_bitBtn3), static_cast<QWidget*>(m_bitBtn4),
                       static_cast<QWidget*>(m_bitBtn9), static_cast<QWidget*>(m_bitBtn10),
                       static_cast<QWidget*>(m_bitBtn11), static_cast<QWidget*>(m_bitBtn7),
                       static_cast<QWidget*>(m_bitBtn5), static_cast<QWidget*>(m_bitBtn6),
                       static_cast<QWidget*>(m_bitBtn8), static_cast<QWidget*>(m_memo1)})
        chain(w);

    // Key preview: F1 reaches the dialog whichever control has the focus.
    installKeyPreview(this, [this](QWidget*, QKeyEvent* event) { return FormKeyDown(event); });
}

void TParamBase::setDeviceButtonsEnabled(bool enabled)
{
    for (QPushButton* b : {m_bitBtn1, m_bitBtn3, m_bitBtn4, m_bitBtn9, m_bitBtn10, m_bitBtn11})
        b->setEnabled(enabled);
    m_bitBtn2->setEnabled(false);  // field-effect transistors have no catalogue
}

void TParamBase::setDescriptionLine(const QString& text)
{
    const QString all = m_memo1->toPlainText();
    const qsizetype nl = all.indexOf(QLatin1Char('\n'));
    m_memo1->setPlainText(text + (nl < 0 ? QString() : all.mid(nl)));
}

QString TParamBase::descriptionLine() const
{
    const QString all = m_memo1->toPlainText();
    const qsizetype nl = all.indexOf(QLatin1Char('\n'));
    return nl < 0 ? all : all.left(nl);
}

void TParamBase::showEvent(QShowEvent* event)
{
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TParamBase::FormShow()
{
    switch (m_deviceType) {
    case 1: BitBtn1Click(); break;
    case 3: BitBtn3Click(); break;
    case 4: BitBtn4Click(); break;
    case 5: BitBtn9Click(); break;
    case 6: BitBtn10Click(); break;
    case 7: BitBtn11Click(); break;
    default:
        // No catalogue: nothing to choose from, and names left from another base would mislead.
        for (QComboBox* c : m_combos) {
            c->clear();
            c->setEnabled(false);
        }
        break;
    }
}

void TParamBase::loadDeviceType(int code)
{
    const veltris::Catalogue& cat = m_form.catalogue();
    const int n = veltris::parameterColumnCount(code);
    const auto& map = m_form.base().columnMap;
    for (int k = 1; k <= 30; ++k) {
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

void TParamBase::BitBtn1Click()
{
    loadDeviceType(1);
}

void TParamBase::BitBtn3Click()
{
    loadDeviceType(3);
}

void TParamBase::BitBtn4Click()
{
    loadDeviceType(4);
}

void TParamBase::BitBtn9Click()
{
    loadDeviceType(5);
}

void TParamBase::BitBtn10Click()
{
    loadDeviceType(6);
}

void TParamBase::BitBtn11Click()
{
    loadDeviceType(7);
}

void TParamBase::BitBtn7Click()
{
    for (QComboBox* c : m_combos)
        if (c->count() > 0)
            c->setCurrentIndex(0);
}

void TParamBase::BitBtn5Click()
{
    // A base of a type without a catalogue keeps its column map: there was nothing to choose.
    if (veltris::findDeviceType(m_deviceType)) {
        auto& map = m_form.base().columnMap;
        for (int k = 1; k <= 30; ++k)
            map[static_cast<size_t>(k - 1)] = static_cast<std::uint8_t>(comboBox(k)->currentIndex() + 1);
    }
    accept();
}

void TParamBase::BitBtn8Click()
{
    m_form.ui().showHelp(kHelpTopic);
}

bool TParamBase::FormKeyDown(QKeyEvent* event)
{
    if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier)
        return false;
    m_form.ui().showHelp(kHelpTopic);
    return true;
}
