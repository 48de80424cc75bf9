#include "edit/viewcolumnsdialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>

#include "base/catalogue.h"
#include "base/devicetype.h"
#include "document/document.h"
#include "ui/uiservices.h"
#include "widgets/apputil.h"
#include "widgets/dialogfont.h"

namespace {

constexpr int kItemHeight = 13;

// Both lists hold column numbers; the dialog paints them as parameter names.
class ColumnItemDelegate : public QStyledItemDelegate {
public:
    ColumnItemDelegate(const ViewColumnsDialog& dialog, QObject* parent)
        : QStyledItemDelegate(parent), m_dialog(dialog)
    {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        m_dialog.paintColumnItem(painter, option, index.data(Qt::DisplayRole).toString().toInt());
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), kItemHeight};
    }

private:
    const ViewColumnsDialog& m_dialog;
};

}  // namespace

ViewColumnsDialog::ViewColumnsDialog(const Document& document, QWidget* parent)
    : QDialog(parent), m_document(document)
{
    setUpFixedDialog(this, "viewColumnsDialog", QStringLiteral("Параметры просмотра"));
    setFont(dialogFont());
    setFixedSize(527, 384);
    move(250, 201);  // a fixed place on the screen, not centred over the main window

    const auto label = [this](const char* name, const QString& text, int x, int w) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setFont(tahomaFont(13));
        l->setGeometry(x, 8, w, 20);
        fitCaption(l);
        return l;
    };
    m_hiddenLabel = label("hiddenLabel", QStringLiteral("не представлять в таблице"), 8, 166);
    m_shownLabel = label("shownLabel", QStringLiteral("представлять в таблице"), 344, 148);

    const auto list = [this](const char* name, int x) {
        auto* l = new QListWidget(this);
        l->setObjectName(QLatin1String(name));
        // The dialog's face and size, also where a desktop theme gives lists a font of their own.
        l->setFont(font());
        l->setGeometry(x, 40, 177, 305);
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        l->setUniformItemSizes(true);
        l->setItemDelegate(new ColumnItemDelegate(*this, l));
        return l;
    };
    m_hiddenList = list("hiddenList", 8);
    m_shownList = list("shownList", 344);

    const auto button = [this](const char* name, const QString& text, const QString& hint, int x, int y,
                               int w) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, y, w, 25);
        if (!hint.isEmpty())
            b->setToolTip(hint);
        return b;
    };
    m_showSelected =
        button("showSelectedButton", QStringLiteral(">"), QStringLiteral("Добавить"), 232, 104, 73);
    m_hideSelected =
        button("hideSelectedButton", QStringLiteral("<"), QStringLiteral("Убрать"), 232, 176, 75);
    m_showAll = button("showAllButton", QStringLiteral(">>"), QStringLiteral("Добавить все"), 232, 248, 75);
    m_hideAll = button("hideAllButton", QStringLiteral("<<"), QStringLiteral("Убрать все"), 232, 320, 75);
    m_okButton = button("okButton", QStringLiteral("OK"), QString(), 56, 352, 75);
    m_cancelButton = button("cancelButton", QStringLiteral("Отмена"), QString(), 400, 352, 75);
    m_okButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    m_cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_okButton->setDefault(true);

    connect(m_showSelected, &QPushButton::clicked, this, &ViewColumnsDialog::showSelected);
    connect(m_hideSelected, &QPushButton::clicked, this, &ViewColumnsDialog::hideSelected);
    connect(m_showAll, &QPushButton::clicked, this, &ViewColumnsDialog::showAll);
    connect(m_hideAll, &QPushButton::clicked, this, &ViewColumnsDialog::hideAll);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(m_hiddenList, m_shownList);
    setTabOrder(m_shownList, m_hideSelected);
    setTabOrder(m_hideSelected, m_showAll);
    setTabOrder(m_showAll, m_hideAll);
    setTabOrder(m_hideAll, m_showSelected);
    setTabOrder(m_showSelected, m_cancelButton);
    setTabOrder(m_cancelButton, m_okButton);

    // Key preview: F1 reaches the dialog whichever control has the focus.
    installKeyPreview(this, [this](QWidget*, QKeyEvent* event) { return handleHelpKey(event); });
}

void ViewColumnsDialog::prepare(int deviceType, const std::vector<int>& shown, const std::vector<int>& hidden)
{
    m_hiddenList->clear();
    m_shownList->clear();
    m_deviceType = deviceType;
    for (const int p : shown)
        m_shownList->addItem(QString::number(p));
    for (const int p : hidden)
        m_hiddenList->addItem(QString::number(p));
    selectFirst(m_hiddenList->count() > 0 ? m_hiddenList : m_shownList);
    const bool anyHidden = m_hiddenList->count() > 0;
    const bool anyShown = m_shownList->count() > 0;
    m_showSelected->setEnabled(anyHidden);
    m_showAll->setEnabled(anyHidden);
    m_hideSelected->setEnabled(anyShown);
    m_hideAll->setEnabled(anyShown);
}

std::vector<int> ViewColumnsDialog::columnsOf(const QListWidget* list)
{
    std::vector<int> out;
    out.reserve(static_cast<size_t>(list->count()));
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text().toInt());
    return out;
}

std::vector<int> ViewColumnsDialog::shownColumns() const
{
    return columnsOf(m_shownList);
}

std::vector<int> ViewColumnsDialog::hiddenColumns() const
{
    return columnsOf(m_hiddenList);
}

QString ViewColumnsDialog::columnName(int p) const
{
    if (!veltris::findDeviceType(m_deviceType))
        return {};
    const auto& map = m_document.base().columnMap;
    const int m = p >= 1 && p <= static_cast<int>(map.size()) ? map[static_cast<size_t>(p - 1)] : 0;
    const QString name = oneLineTitle(m_document.catalogue().name(m_deviceType, p, m));
    // A column without a name would be an invisible line that still moves.
    return name.isEmpty() ? QStringLiteral("Столбец %1").arg(p) : name;
}

void ViewColumnsDialog::paintColumnItem(QPainter* painter, const QStyleOptionViewItem& option,
                                        int column) const
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group =
        option.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->fillRect(option.rect,
                      option.palette.brush(group, selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, columnName(column));
    painter->restore();
}

void ViewColumnsDialog::selectFirst(QListWidget* list)
{
    if (list->count() > 0)
        list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
}

void ViewColumnsDialog::moveSelected(QListWidget* from, QListWidget* to)
{
    for (int i = from->count() - 1; i >= 0; --i) {
        if (!from->item(i)->isSelected())
            continue;
        QListWidgetItem* item = from->takeItem(i);
        item->setSelected(false);
        to->addItem(item);
    }
}

void ViewColumnsDialog::moveAll(QListWidget* from, QListWidget* to)
{
    while (from->count() > 0) {
        QListWidgetItem* item = from->takeItem(0);
        item->setSelected(false);
        to->addItem(item);
    }
}

void ViewColumnsDialog::moveSelectedBetween(QListWidget* from, QListWidget* to, QPushButton* fromOne,
                                            QPushButton* fromAll, QPushButton* toOne, QPushButton* toAll)
{
    moveSelected(from, to);
    if (from->count() > 0) {
        selectFirst(from);
    } else {
        // Nothing left to move this way: the focus of the selection goes to the other list.
        fromOne->setEnabled(false);
        fromAll->setEnabled(false);
        selectFirst(to);
    }
    toOne->setEnabled(true);
    toAll->setEnabled(true);
}

void ViewColumnsDialog::showSelected()
{
    moveSelectedBetween(m_hiddenList, m_shownList, m_showSelected, m_showAll, m_hideSelected, m_hideAll);
}

void ViewColumnsDialog::hideSelected()
{
    moveSelectedBetween(m_shownList, m_hiddenList, m_hideSelected, m_hideAll, m_showSelected, m_showAll);
}

void ViewColumnsDialog::showAll()
{
    moveAll(m_hiddenList, m_shownList);
    m_showSelected->setEnabled(false);
    m_showAll->setEnabled(false);
    m_hideSelected->setEnabled(true);
    m_hideAll->setEnabled(true);
    selectFirst(m_shownList);
}

void ViewColumnsDialog::hideAll()
{
    moveAll(m_shownList, m_hiddenList);
    m_hideSelected->setEnabled(false);
    m_hideAll->setEnabled(false);
    m_showSelected->setEnabled(true);
    m_showAll->setEnabled(true);
    selectFirst(m_hiddenList);
}

bool ViewColumnsDialog::handleHelpKey(QKeyEvent* event)
{
    if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier)
        return false;
    m_document.ui().showHelp(HelpTopic::ViewColumns);
    return true;
}
