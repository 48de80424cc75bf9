#include "edit/prosm.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>

#include "app/apputil.h"
#include "app/sdimain.h"
#include "app/uiservices.h"
#include "base/catalogue.h"
#include "base/devicetype.h"
#include "edit/dialogfont.h"

namespace {

constexpr int kHelpTopic = 27;
constexpr int kItemHeight = 13;

// Both lists hold column numbers; the dialog paints them as parameter names.
class ColumnItemDelegate : public QStyledItemDelegate {
public:
    ColumnItemDelegate(const TProsm& dialog, QObject* parent)
        : QStyledItemDelegate(parent), m_dialog(dialog)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        m_dialog.ListBox1DrawItem(painter, option, index.data(Qt::DisplayRole).toString().toInt());
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), kItemHeight};
    }

private:
    const TProsm& m_dialog;
};

}  // namespace

TProsm::TProsm(TSDIAppForm& form) : QDialog(&form), m_form(form)
{
    setObjectName(QStringLiteral("TProsm"));
    setWindowTitle(QStringLiteral("Параметры просмотра"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(dialogFont());
    setFixedSize(527, 384);
    move(250, 201);  // its designed place on the screen, not centred over the main window

    const auto label = [this](const char* name, const QString& text, int x, int w) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setFont(tahomaFont(13));
        l->setGeometry(x, 8, w, 20);
        fitCaption(l);
        return l;
    };
    m_staticText1 = label("StaticText1", QStringLiteral("не представлять в таблице"), 8, 166);
    m_staticText2 = label("StaticText2", QStringLiteral("представлять в таблице"), 344, 148);

    const auto list = [this](const char* name, int x) {
        auto* l = new QListWidget(this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(x, 40, 177, 305);
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        l->setUniformItemSizes(true);
        l->setItemDelegate(new ColumnItemDelegate(*this, l));
        return l;
    };
    m_listBox1 = list("ListBox1", 8);
    m_listBox2 = list("ListBox2", 344);

    const auto button = [this](const char* name, const QString& text, const QString& hint, int x, int y,
                               int w) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, y, w, 25);
        if (!hint.isEmpty())
            b->setToolTip(hint);
        return b;
    };
    m_button1 = button("Button1", QStringLiteral(">"), QStringLiteral("Добавить"), 232, 104, 73);
    m_button2 = button("Button2", QStringLiteral("<"), QStringLiteral("Убрать"), 232, 176, 75);
    m_button3 = button("Button3", QStringLiteral(">>"), QStringLiteral("Добавить все"), 232, 248, 75);
    m_button4 = button("Button4", QStringLiteral("<<"), QStringLiteral("Убрать все"), 232, 320, 75);
    m_bitBtn1 = button("BitBtn1", QStringLiteral("OK"), QString(), 56, 352, 75);
    m_bitBtn2 = button("BitBtn2", QStringLiteral("Отмена"), QString(), 400, 352, 75);
    m_bitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    m_bitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_bitBtn1->setDefault(true);

    connect(m_button1, &QPushButton::clicked, this, &TProsm::Button1Click);
    connect(m_button2, &QPushButton::clicked, this, &TProsm::Button2Click);
    connect(m_button3, &QPushButton::clicked, this, &TProsm::Button3Click);
    connect(m_button4, &QPushButton::clicked, this, &TProsm::Button4Click);
    connect(m_bitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_bitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(m_listBox1, m_listBox2);
    setTabOrder(m_listBox2, m_button2);
    setTabOrder(m_button2, m_button3);
    setTabOrder(m_button3, m_button4);
    setTabOrder(m_button4, m_button1);
    setTabOrder(m_button1, m_bitBtn2);
    setTabOrder(m_bitBtn2, m_bitBtn1);

    // Key preview: F1 reaches the dialog whichever control has the focus.
    installKeyPreview(this, [this](QWidget*, QKeyEvent* event) { return FormKeyDown(event); });
}

void TProsm::prepare(int deviceType, const std::vector<int>& shown, const std::vector<int>& hidden)
{
    m_listBox1->clear();
    m_listBox2->clear();
    m_deviceType = deviceType;
    for (const int p : shown)
        m_listBox2->addItem(QString::number(p));
    for (const int p : hidden)
        m_listBox1->addItem(QString::number(p));
    selectFirst(m_listBox1->count() > 0 ? m_listBox1 : m_listBox2);
    const bool anyHidden = m_listBox1->count() > 0;
    const bool anyShown = m_listBox2->count() > 0;
    m_button1->setEnabled(anyHidden);
    m_button3->setEnabled(anyHidden);
    m_button2->setEnabled(anyShown);
    m_button4->setEnabled(anyShown);
}

std::vector<int> TProsm::columnsOf(const QListWidget* list)
{
    std::vector<int> out;
    out.reserve(static_cast<size_t>(list->count()));
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text().toInt());
    return out;
}

std::vector<int> TProsm::shownColumns() const
{
    return columnsOf(m_listBox2);
}

std::vector<int> TProsm::hiddenColumns() const
{
    return columnsOf(m_listBox1);
}

QString TProsm::columnName(int p) const
{
    if (!veltris::findDeviceType(m_deviceType))
        return {};
    const auto& map = m_form.base().columnMap;
    const int m = p >= 1 && p <= static_cast<int>(map.size()) ? map[static_cast<size_t>(p - 1)] : 0;
    const QString name = oneLineTitle(m_form.catalogue().name(m_deviceType, p, m));
    // A column without a name would be an invisible line that still moves.
    return name.isEmpty() ? QStringLiteral("Столбец %1").arg(p) : name;
}

void TProsm::ListBox1DrawItem(QPainter* painter, const QStyleOptionViewItem& option, int column) const
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group =
        option.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->fillRect(option.rect, option.palette.brush(group, selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, columnName(column));
    painter->restore();
}

void TProsm::selectFirst(QListWidget* list)
{
    if (list->count() > 0)
        list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
}

void TProsm::moveSelected(QListWidget* from, QListWidget* to)
{
    for (int i = from->count() - 1; i >= 0; --i) {
        if (!from->item(i)->isSelected())
            continue;
        QListWidgetItem* item = from->takeItem(i);
        item->setSelected(false);
        to->addItem(item);
    }
}

void TProsm::moveAll(QListWidget* from, QListWidget* to)
{
    while (from->count() > 0) {
        QListWidgetItem* item = from->takeItem(0);
        item->setSelected(false);
        to->addItem(item);
    }
}

void TProsm::Button1Click()
{
    moveSelected(m_listBox1, m_listBox2);
    if (m_listBox1->count() > 0) {
        selectFirst(m_listBox1);
    } else {
        m_button1->setEnabled(false);
        m_button3->setEnabled(false);
        selectFirst(m_listBox2);
    }
    m_button2->setEnabled(true);
    m_button4->setEnabled(true);
}

void TProsm::Button2Click()
{
    moveSelected(m_listBox2, m_listBox1);
    if (m_listBox2->count() > 0) {
        selectFirst(m_listBox2);
    } else {
        m_button2->setEnabled(false);
        m_button4->setEnabled(false);
        selectFirst(m_listBox1);
    }
    m_button1->setEnabled(true);
    m_button3->setEnabled(true);
}

void TProsm::Button3Click()
{
    moveAll(m_listBox1, m_listBox2);
    m_button1->setEnabled(false);
    m_button3->setEnabled(false);
    m_button2->setEnabled(true);
    m_button4->setEnabled(true);
    selectFirst(m_listBox2);
}

void TProsm::Button4Click()
{
    moveAll(m_listBox2, m_listBox1);
    m_button2->setEnabled(false);
    m_button4->setEnabled(false);
    m_button1->setEnabled(true);
    m_button3->setEnabled(true);
    selectFirst(m_listBox1);
}

bool TProsm::FormKeyDown(QKeyEvent* event)
{
    if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier)
        return false;
    m_form.ui().showHelp(kHelpTopic);
    return true;
}
