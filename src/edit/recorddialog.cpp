#include "edit/recorddialog.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QValidator>
#include <algorithm>
#include <functional>

#include "base/cp1251.h"
#include "base/recordlayout.h"
#include "base/typedvalue.h"
#include "document/document.h"
#include "edit/labeledit.h"
#include "ui/uiservices.h"
#include "widgets/apputil.h"
#include "widgets/windowplacement.h"

namespace {

constexpr int kClientHeight = 484;
constexpr int kFieldWidth = 121;  // a column of fields, unless a label needs more
constexpr int kColumnGap = 7;     // between two columns of fields
constexpr int kButtonWidth = 89;

// The name field takes what a record can keep: at most 15 characters, each one Windows-1251 has.
// A keystroke or a paste that would make more, or bring another character, is refused whole and
// `refused` says why.
class NameValidator : public QValidator {
public:
    NameValidator(std::function<void(const QString&)> refused, QObject* parent)
        : QValidator(parent), m_refused(std::move(refused))
    {}
    State validate(QString& input, int& pos) const override
    {
        input = input.toUpper();
        pos = std::min(pos, static_cast<int>(input.size()));
        bool lossy = false;
        const std::string bytes = qStringToCp(input, &lossy);
        if (lossy) {
            m_refused(
                QStringLiteral("В названии могут быть только знаки кодировки Windows-1251: "
                               "такой знак база не сохранит"));
            return Invalid;
        }
        if (bytes.size() > static_cast<size_t>(veltris::record::kNameMax)) {
            m_refused(QStringLiteral("Название — не длиннее %1 знаков").arg(veltris::record::kNameMax));
            return Invalid;
        }
        return Acceptable;
    }

private:
    std::function<void(const QString&)> m_refused;
};

}  // namespace

RecordDialog::RecordDialog(Document& document, QWidget* parent) : QDialog(parent), m_document(document)
{
    setObjectName(QStringLiteral("recordDialog"));
    setWindowTitle(QStringLiteral("Добавить элемент"));
    QFont f = veltrisFont();
    f.setPixelSize(12);
    setFont(f);
    setHelpContext(this, HelpTopic::RecordDialog);
    setSizeGripEnabled(false);

    m_typeLabel = new QLabel(QStringLiteral("Тип прибора"), this);
    m_typeLabel->setObjectName(QStringLiteral("typeLabel"));
    // Sized to its text, never narrower than the 78 pixels laid out for it.
    m_typeLabel->setGeometry(16, 8, std::max(78, m_typeLabel->sizeHint().width()), 18);

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_nameEdit->setGeometry(16, 32, 121, 22);
    m_nameEdit->setToolTip(QStringLiteral("Название прибора: до %1 знаков").arg(veltris::record::kNameMax));
    m_nameEdit->setValidator(
        new NameValidator([this](const QString& why) { showNote(why, true); }, m_nameEdit));
    connect(m_nameEdit, &QLineEdit::textChanged, this, &RecordDialog::uppercaseName);

    // What the field being typed into will store, or why it cannot: in the room right of the name.
    m_noteLabel = new QLabel(this);
    m_noteLabel->setObjectName(QStringLiteral("noteLabel"));
    m_noteLabel->setTextFormat(Qt::PlainText);
    m_noteLabel->setWordWrap(true);
    m_noteLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_noteLabel->setGeometry(145, 4, 256, 56);

    m_fieldPanel = new QFrame(this);
    m_fieldPanel->setObjectName(QStringLiteral("fieldPanel"));
    m_fieldPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_fieldPanel->setGeometry(8, 64, 393, 417);

    for (int k = 1; k <= kFieldCount; ++k) {
        auto* le = new LabeledEdit(m_fieldPanel);
        le->setObjectName(QStringLiteral("field%1").arg(k));
        le->setGeometry(0, 8 + 40 * ((k - 1) % 10), kFieldWidth, 37);
        le->setEnabled(false);
        m_fields[static_cast<size_t>(k - 1)] = le;
        connect(le->edit(), &QLineEdit::textChanged, this, [this, k] { checkField(k); });
    }

    struct ButtonDef {
        const char* name;
        const char* caption;
        QStyle::StandardPixmap icon;
        bool withIcon;
    };
    const ButtonDef defs[6] = {
        {"enterButton", "Ввести", QStyle::SP_DialogApplyButton, true},
        {"closeButton", "Закрыть", QStyle::SP_DialogCloseButton, true},
        {"helpButton", "Помощь", QStyle::SP_DialogHelpButton, true},
        {"saveButton", "Сохранить", QStyle::SP_DialogSaveButton, true},
        {"nextButton", ">", QStyle::SP_ArrowRight, false},
        {"previousButton", "<", QStyle::SP_ArrowLeft, false},
    };
    for (int i = 0; i < 6; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(defs[i].caption), this);
        b->setObjectName(QLatin1String(defs[i].name));
        b->setGeometry(408, 8 + 32 * i, kButtonWidth, 25);
        if (defs[i].withIcon)
            b->setIcon(style()->standardIcon(defs[i].icon));
        // Enter never clicks a button here: it moves the focus.
        b->setAutoDefault(false);
        b->setDefault(false);
        m_buttons[static_cast<size_t>(i)] = b;
    }
    button(5)->setEnabled(false);
    button(6)->setEnabled(false);
    layOutFields();

    connect(button(1), &QPushButton::clicked, this, &RecordDialog::enterRecord);
    connect(button(2), &QPushButton::clicked, this, &QDialog::reject);
    connect(button(3), &QPushButton::clicked, this, &RecordDialog::showHelp);
    connect(button(4), &QPushButton::clicked, this, &RecordDialog::saveBase);
    connect(button(5), &QPushButton::clicked, this, &RecordDialog::nextRecord);
    connect(button(6), &QPushButton::clicked, this, &RecordDialog::previousRecord);

    // The note follows the field the focus is in.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (int k = 1; k <= kFieldCount; ++k)
            if (now == field(k)->edit()) {
                checkField(k);
                return;
            }
        if (now != nullptr && isAncestorOf(now))
            showNote(QString(), false);
    });

    // Tab order: name, the thirty fields column by column, then the buttons.
    QWidget* previous = m_nameEdit;
    for (LabeledEdit* le : m_fields) {
        QWidget::setTabOrder(previous, le->edit());
        previous = le->edit();
    }
    for (QPushButton* b : m_buttons) {
        QWidget::setTabOrder(previous, b);
        previous = b;
    }

    // The form sees keys before its controls.
    installKeyPreview(this, [this](QWidget* target, QKeyEvent* event) {
        if (handleHelpKey(event))
            return true;
        if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
            return false;
        if (focusWidget() != target)
            target->setFocus();  // the key went to this control: count from it
        return handleEnterKey(event);
    });
}

QString RecordDialog::lossyTextMessage()
{
    return QStringLiteral("Знаки, которых нет в кодировке Windows-1251, записаны в таблицу как «?»");
}

// ---- preparing ----

QString RecordDialog::headerName(int column) const
{
    const veltris::ComponentBase& base = m_document.base();
    if (column < 1 || column > veltris::kMaxParamColumns)
        return {};
    return cpToQString(m_document.catalogue().name(base.deviceType, column,
                                                   base.columnMap[static_cast<size_t>(column - 1)]));
}

void RecordDialog::layOutFields()
{
    // Each column of ten fields as wide as its longest label, so no label runs into the next
    // column; 504 by 484 when every label fits the 121 pixels of a field.
    int x = 8;
    for (int column = 0; column < 3; ++column) {
        int width = kFieldWidth;
        for (int k = column * 10 + 1; k <= column * 10 + 10; ++k)
            width = std::max(width, field(k)->captionWidth());
        for (int k = column * 10 + 1; k <= column * 10 + 10; ++k) {
            field(k)->setFieldWidth(width);
            field(k)->move(x, field(k)->y());
        }
        x += width + kColumnGap;
    }
    const int panelWidth = x - kColumnGap + 8;
    m_fieldPanel->resize(panelWidth, m_fieldPanel->height());
    const int buttonsLeft = m_fieldPanel->x() + panelWidth + 7;
    m_noteLabel->resize(buttonsLeft - 7 - m_noteLabel->x(), m_noteLabel->height());
    for (QPushButton* b : m_buttons)
        b->move(buttonsLeft, b->y());
    setFixedSize(buttonsLeft + kButtonWidth + 7, kClientHeight);
}

void RecordDialog::setLabelsFromCatalogue(int count)
{
    for (int k = 1; k <= kFieldCount; ++k) {
        LabeledEdit* le = field(k);
        const bool used = k <= count;
        le->setLabelCaption(used ? headerName(k) : QString());
        le->setEnabled(used);
        le->setEditText(QString());
    }
    layOutFields();
}

void RecordDialog::prepareAdd()
{
    m_mode = Mode::Add;
    const int code = m_document.base().deviceType;
    // A type without a catalogue leaves the fields as they were.
    if (veltris::findDeviceType(code) && m_document.catalogue().has(code))
        setLabelsFromCatalogue(veltris::parameterColumnCount(code));
    m_nameEdit->clear();
    button(5)->setEnabled(false);
    button(6)->setEnabled(false);
    m_nameEdit->setFocus();
}

void RecordDialog::prepareEdit()
{
    m_mode = Mode::Edit;
    for (LabeledEdit* le : m_fields) {
        le->setEditText(QString());
        le->setLabelCaption(QString());
        le->setEnabled(false);
    }
    const veltris::Table& t = m_document.base().table;
    const int row = currentRecordRow();  // 0: no record yet, the fields stay empty
    const int count = std::min(t.columnCount() - 1, kFieldCount);
    for (int k = 1; k <= count; ++k) {
        LabeledEdit* le = field(k);
        le->setEditText(row > 0 ? cpToQString(t.cell(row, k)) : QString());
        le->setEnabled(true);
        le->setLabelCaption(headerName(k));
    }
    m_nameEdit->setText(row > 0 ? cpToQString(t.cell(row, 0)) : QString());
    layOutFields();
    button(5)->setEnabled(true);
    button(6)->setEnabled(true);
    m_nameEdit->setFocus();
}

// ---- rows ----

int RecordDialog::currentRecordRow() const
{
    const int rows = m_document.base().table.rowCount();
    if (rows < 2)
        return 0;
    return std::clamp(m_document.currentRecord(), 1, rows - 1);
}

void RecordDialog::selectRow(int row)
{
    // The main table's view follows, and the package drawing with it, as on a click.
    m_document.setCurrentRecord(row);
}

std::vector<std::string> RecordDialog::fieldTexts(bool& lossy) const
{
    const veltris::Table& t = m_document.base().table;
    lossy = false;
    const auto text = [&lossy](const QString& s) {
        bool l = false;
        std::string bytes = qStringToCp(s, &l);
        lossy = lossy || l;
        return bytes;
    };
    std::vector<std::string> texts;
    texts.push_back(text(m_nameEdit->text()));
    const int count = std::min(t.columnCount() - 1, kFieldCount);
    for (int k = 1; k <= count; ++k) {
        // The text the base keeps for what was typed: "1,5 А" in a column of мА is 1500.
        const veltris::TypedCell cell = veltris::typedCellText(
            field(k)->editText().toStdString(), t.cell(0, k),
            veltris::typedColumnKind(m_document.base().deviceType, t.columnCount(), k));
        texts.push_back(cell.ok ? cell.text : text(field(k)->editText()));
    }
    return texts;
}

void RecordDialog::loadRow(int row)
{
    const veltris::Table& t = m_document.base().table;
    const int count = std::min(t.columnCount() - 1, kFieldCount);
    for (int k = 1; k <= count; ++k)
        field(k)->setEditText(cpToQString(t.cell(row, k)));
    m_nameEdit->setText(cpToQString(t.cell(row, 0)));
}

// ---- buttons ----

void RecordDialog::enterRecord()
{
    if (refuseBadField() != 0)
        return;  // nothing is written while a field does not read
    bool lossy = false;
    std::vector<std::string> texts = fieldTexts(lossy);
    // The document makes the row it writes current (so the drawing follows) before the texts
    // reach it; the whole entry is one step of the history.
    m_document.enterRecord(m_mode == Mode::Add ? Document::RecordEntry::Add : Document::RecordEntry::Edit,
                           currentRecordRow(), std::move(texts));
    emit textsWritten(lossy);
    m_nameEdit->setFocus();
    if (m_mode == Mode::Edit)
        accept();
}

void RecordDialog::step(int delta)
{
    if (refuseBadField() != 0)
        return;
    bool lossy = false;
    std::vector<std::string> texts = fieldTexts(lossy);
    // Texts written back are changes like any other: a step of the history, which sets the
    // modified flag when something changed.
    const int row = m_document.writeBackRecord(currentRecordRow(), std::move(texts));
    emit textsWritten(lossy);
    const int next = row + delta;
    if (next < 1 || next > m_document.base().table.rowCount() - 1)
        return;
    selectRow(next);
    loadRow(next);
}

void RecordDialog::nextRecord()
{
    step(+1);
}

void RecordDialog::previousRecord()
{
    step(-1);
}

void RecordDialog::showHelp()
{
    m_document.ui().showHelp(HelpTopic::RecordDialog);
}

void RecordDialog::saveBase()
{
    m_document.save();
}

// ---- reading the fields ----

bool RecordDialog::fieldRefused(int k) const
{
    return k >= 1 && k <= kFieldCount && !m_refusals[static_cast<size_t>(k - 1)].isEmpty();
}

QString RecordDialog::fieldRefusal(int k) const
{
    return fieldRefused(k) ? m_refusals[static_cast<size_t>(k - 1)] : QString();
}

void RecordDialog::checkField(int k)
{
    LabeledEdit* le = field(k);
    QString& refusal = m_refusals[static_cast<size_t>(k - 1)];
    refusal.clear();
    QString note;
    const veltris::Table& t = m_document.base().table;
    if (le->isEnabled() && k < t.columnCount()) {
        const QString typed = le->editText();
        const std::string title = t.cell(0, k);
        const veltris::TypedColumn kind =
            veltris::typedColumnKind(m_document.base().deviceType, t.columnCount(), k);
        const veltris::TypedCell cell = veltris::typedCellText(typed.toStdString(), title, kind);
        if (!cell.ok) {
            refusal = QString::fromStdString(cell.message);
        } else if (cell.changed && !cell.text.empty()) {
            const veltris::ColumnUnit unit = veltris::columnUnitOfTitle(title);
            note = QStringLiteral("= ") + cpToQString(cell.text);
            if (!unit.text.empty())
                note += QLatin1Char(' ') + QString::fromStdString(unit.text);
        }
    }
    le->setRefusal(refusal);
    le->setNote(note);
    if (focusWidget() == le->edit()) {
        if (!refusal.isEmpty())
            showNote(refusal, true);
        else if (!note.isEmpty())
            showNote(oneLineTitle(headerName(k)) + QStringLiteral(": будет записано ") + note.mid(2), false);
        else
            showNote(QString(), false);
    }
}

int RecordDialog::refuseBadField()
{
    for (int k = 1; k <= kFieldCount; ++k) {
        checkField(k);
        if (fieldRefused(k)) {
            field(k)->edit()->setFocus();
            showNote(fieldRefusal(k), true);
            return k;
        }
    }
    return 0;
}

void RecordDialog::showNote(const QString& text, bool refusal)
{
    m_noteLabel->setText(text);
    m_noteLabel->setToolTip(text);
    QPalette pal = palette();
    if (refusal)
        pal.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
    m_noteLabel->setPalette(pal);
}

// ---- keys and focus ----

void RecordDialog::uppercaseName(const QString& text)
{
    QString upper = text;
    for (QChar& c : upper)
        c = c.toUpper();  // one character for one: the cursor stays where it was
    if (upper == text)
        return;
    const int pos = m_nameEdit->cursorPosition();
    m_nameEdit->setText(upper);
    m_nameEdit->setCursorPosition(pos);
}

bool RecordDialog::handleHelpKey(QKeyEvent* event)
{
    if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier)
        return false;
    m_document.ui().showHelp(HelpTopic::RecordDialog);
    return true;
}

bool RecordDialog::handleEnterKey(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    // Enter in the last field brings the focus to «Ввести»; Enter there enters the record. Moving
    // on to «Закрыть» would let the next Space close the dialog with the typed record lost.
    if (focusWidget() == button(1)) {
        if (!event->isAutoRepeat())
            button(1)->click();
        return true;
    }
    focusNextControl();
    return true;  // consumed: no control sees the Enter
}

void RecordDialog::focusNextControl()
{
    QWidget* start = focusWidget();
    if (!start)
        start = m_nameEdit;
    QWidget* w = start;
    // The focus chain is a ring; its length bounds the walk.
    for (int guard = 0; guard < 1000; ++guard) {
        w = w->nextInFocusChain();
        if (!w || w == start)
            return;
        if (w == this || !isAncestorOf(w))
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(this)) {
            // Moved by a key, the focus is drawn as after Tab: a button shows it has it.
            setAttribute(Qt::WA_KeyboardFocusChange);
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void RecordDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QScreen* screen = parentWidget() && parentWidget()->screen() ? parentWidget()->screen()
                                                                 : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        QRect frame(pos(), size().grownBy(frameMargins(this)));
        frame.moveCenter(area.center());
        move(fitInArea(frame, area, frame.size()).topLeft());
    }
}
