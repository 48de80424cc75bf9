#include "search/navform.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QValidator>
#include <algorithm>

#include "app/apputil.h"
#include "app/sdimain.h"
#include "app/uiservices.h"
#include "base/devicetype.h"
#include "search/navlistmodel.h"

namespace {

// Letters become capitals as they are typed (and pasted), the caret staying where it was.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override
    {
        input = input.toUpper();
        pos = std::min(pos, static_cast<int>(input.size()));
        return Acceptable;
    }
};

// Items of a fixed height; the component list hands its painting to the window.
class NavItemDelegate : public QStyledItemDelegate {
public:
    NavItemDelegate(TNavForm* form, bool ownerDrawn, QObject* parent)
        : QStyledItemDelegate(parent), m_form(form), m_ownerDrawn(ownerDrawn) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), TNavForm::kItemHeight};
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (m_ownerDrawn)
            m_form->ListBox2DrawItem(painter, option, index);
        else
            QStyledItemDelegate::paint(painter, option, index);
    }

private:
    TNavForm* m_form;
    bool m_ownerDrawn;
};

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->move(x, y);
    l->adjustSize();
    return l;
}

}  // namespace

TNavForm::TNavForm(TSDIAppForm& form) : QDialog(&form), m_form(form)
{
    setObjectName(QStringLiteral("TNavForm"));
    setWindowTitle(QStringLiteral("Навигатор"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // A bold face with 13-pixel cells (ascent and descent), that is about 11 pixels to the em.
    QFont f = veltrisFont();
    f.setPixelSize(11);
    f.setBold(true);
    setFont(f);
    setFixedSize(553, 448);
    setHelpContext(this, kHelpTopic);

    // Created in tab order.
    m_staticText1 = makeLabel(this, "StaticText1", QStringLiteral("Тип прибора"), 8, 8);
    m_listBox1 = new QListWidget(this);
    m_listBox1->setObjectName(QStringLiteral("ListBox1"));
    m_listBox1->setGeometry(8, 32, 185, 257);
    m_listBox1->setUniformItemSizes(true);
    m_listBox1->setItemDelegate(new NavItemDelegate(this, false, m_listBox1));
    m_listBox1->addItem(QStringLiteral("Все приборы"));
    for (int code = 1; code <= 7; ++code)
        m_listBox1->addItem(QString::fromUtf8(veltris::deviceTypeCaption(code)));

    m_label1 = makeLabel(this, "Label1", QStringLiteral("Быстрый поиск"), 208, 8);
    m_edit1 = new QLineEdit(this);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    m_edit1->setGeometry(208, 32, 177, 24);
    m_edit1->setValidator(new UpperCaseValidator(m_edit1));

    m_model = new NavListModel(this);
    m_listBox2 = new QListView(this);
    m_listBox2->setObjectName(QStringLiteral("ListBox2"));
    m_listBox2->setGeometry(208, 64, 177, 225);
    m_listBox2->setUniformItemSizes(true);  // one height for all: no per-item layout of 100,000 rows
    m_listBox2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listBox2->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listBox2->setItemDelegate(new NavItemDelegate(this, true, m_listBox2));
    m_listBox2->setModel(m_model);

    m_staticText3 = makeLabel(this, "StaticText3", QStringLiteral("Описание базы"), 8, 304);
    m_memo1 = new QPlainTextEdit(this);
    m_memo1->setObjectName(QStringLiteral("Memo1"));
    m_memo1->setGeometry(8, 328, 537, 113);
    m_memo1->setReadOnly(true);
    m_memo1->setEnabled(false);
    {
        // Display only, yet readable: the disabled grey of this style is too faint for a text
        // the user came to read.
        QPalette pal = m_memo1->palette();
        pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
        m_memo1->setPalette(pal);
    }

    m_bitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Закрыть"), this);
    m_bitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    m_bitBtn1->setGeometry(416, 40, 121, 41);
    m_bitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogHelpButton), QStringLiteral("&Помощь"), this);
    m_bitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    m_bitBtn2->setGeometry(416, 96, 121, 41);
    for (QPushButton* b : {m_bitBtn1, m_bitBtn2}) {
        b->setAutoDefault(false);  // Enter in the quick search must not close the window
        b->setIconSize(QSize(16, 16));
    }

    connect(m_listBox1, &QListWidget::currentRowChanged, this, &TNavForm::ListBox1Click);
    // Every click refills the list, also one on the type already chosen (it clears the quick
    // search); a click that changes the type has refilled it already.
    connect(m_listBox1, &QListWidget::clicked, this, [this](const QModelIndex& index) {
        if (index.row() == m_typeRowAtPress && index.row() == m_listBox1->currentRow())
            ListBox1Click();
    });
    connect(m_edit1, &QLineEdit::textChanged, this, &TNavForm::Edit1Change);
    connect(m_listBox2->selectionModel(), &QItemSelectionModel::currentChanged, this, &TNavForm::ListBox2Click);
    connect(m_listBox2, &QAbstractItemView::clicked, this, &TNavForm::ListBox2Click);
    connect(m_listBox2, &QAbstractItemView::doubleClicked, this, &TNavForm::ListBox2DblClick);
    connect(m_bitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_bitBtn2, &QPushButton::clicked, this, &TNavForm::BitBtn2Click);

    m_listBox1->viewport()->installEventFilter(this);
    // F1 belongs to this window, not to a shortcut of the program.
    installKeyPreview(this, [this](QWidget*, QKeyEvent* event) { return FormKeyDown(event); },
                      {Qt::Key_F1});

    FormCreate();
}

// ---- handlers ----

void TNavForm::FormCreate()
{
    // The catalogue is complete before any dialog exists and never changes afterwards.
    m_model->setCatalogue(m_form.navigatorCatalogue());
    if (m_listBox1->currentRow() == 0)
        ListBox1Click();
    else
        m_listBox1->setCurrentRow(0);  // runs ListBox1Click
}

void TNavForm::ListBox1Click()
{
    const int type = std::max(m_listBox1->currentRow(), 0);
    m_model->clear();
    m_memo1->clear();
    m_edit1->clear();
    m_model->showType(type);
    m_listBox2->scrollToTop();  // a new list starts at its first item
}

void TNavForm::Edit1Change()
{
    const int row = m_model->insertionRow(m_edit1->text().toUpper());
    if (row < m_model->rowCount()) {
        const QModelIndex index = m_model->index(row);
        m_listBox2->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_listBox2->scrollTo(index);
    } else {
        // Past every item: nothing is selected.
        m_listBox2->selectionModel()->clear();
    }
    ListBox2Click();
}

int TNavForm::selectedRow() const
{
    const QModelIndexList selected = m_listBox2->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

int TNavForm::actionRow() const
{
    if (m_model->rowCount() == 0)
        return -1;
    const int row = selectedRow();
    return row >= 0 ? row : 0;
}

void TNavForm::ListBox2Click()
{
    m_memo1->clear();
    const int row = actionRow();
    if (row >= 0)
        m_memo1->setPlainText(cpToQString(m_model->entry(row).description()));
}

void TNavForm::ListBox2DrawItem(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group = option.state.testFlag(QStyle::State_Active) ? QPalette::Active
                                                                                    : QPalette::Inactive;
    const QPalette& pal = option.palette;
    painter->save();
    painter->fillRect(option.rect, pal.brush(group, selected ? QPalette::Highlight : QPalette::Base));
    painter->setFont(option.font);
    painter->setPen(pal.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      m_model->name(index.row()));
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = pal.color(group, selected ? QPalette::Highlight : QPalette::Base);
        m_listBox2->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, m_listBox2);
    }
    painter->restore();
}

void TNavForm::ListBox2DblClick()
{
    const int row = actionRow();
    if (row < 0)
        return;
    const QString file = QFile::decodeName(QByteArray::fromStdString(m_model->entry(row).fileName()));
    if (!QFileInfo(file).isFile())
        return;  // the base has gone since start-up: nothing to open, the list stays
    // Cancel, or a save that did not succeed, leaves the open base as it is.
    if (m_form.confirmDiscard())
        m_form.loadBaseFile(file);  // a failure has shown its message and changed nothing
    reject();
}

void TNavForm::BitBtn2Click()
{
    m_form.ui().showHelp(kHelpTopic);
}

// ---- keys ----

bool TNavForm::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        m_form.ui().showHelp(kHelpTopic);
        return true;
    }
    return false;
}

bool TNavForm::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (watched == m_listBox1->viewport() &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick))
        m_typeRowAtPress = m_listBox1->currentRow();
    return QDialog::eventFilter(watched, event);
}
