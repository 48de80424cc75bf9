#include "edit/labeledit.h"

#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "widgets/apputil.h"

namespace {

constexpr int kEditWidth = 121;
constexpr int kEditHeight = 21;

}  // namespace

LabeledEdit::LabeledEdit(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);  // the edit inside takes the focus

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("edit"));
    m_edit->resize(kEditWidth, kEditHeight);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->resize(m_edit->width(), m_label->fontMetrics().height());
    m_label->setVisible(true);
    setLabelCaption(QString());

    m_edit->move(0, m_label->height() + 2);
    m_edit->setVisible(true);

    setGeometry(0, 0, m_edit->width(), m_edit->height() + m_label->height() + 5);

    m_note = new QLabel(m_edit);
    m_note->setObjectName(QStringLiteral("fieldNoteLabel"));
    m_note->setTextFormat(Qt::PlainText);
    m_note->setForegroundRole(QPalette::PlaceholderText);
    m_note->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_note->hide();
}

void LabeledEdit::setRefusal(const QString& refusal)
{
    if (refusal == m_refusal)
        return;
    m_refusal = refusal;
    m_edit->setToolTip(refusal);
    m_edit->setStyleSheet(refusal.isEmpty() ? QString()
                                            : QStringLiteral("QLineEdit { border: 2px solid #d00000; }"));
}

void LabeledEdit::setNote(const QString& note)
{
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
    if (!m_refusal.isEmpty())
        return;
    m_edit->setToolTip(note.isEmpty() ? QString() : QStringLiteral("Будет записано: ") + note.mid(2));
    placeNote();
}

void LabeledEdit::placeNote()
{
    if (m_note->isHidden()) {
        m_edit->setTextMargins(0, 0, 0, 0);
        return;
    }
    // At the right end of the edit; the typed text keeps the room left of it.
    const int width = std::min(m_note->sizeHint().width(), m_edit->width() / 2 + 10);
    m_note->setGeometry(m_edit->width() - width - 4, 0, width, m_edit->height());
    m_edit->setTextMargins(0, 0, width + 2, 0);
}

void LabeledEdit::setLabelCaption(const QString& caption)
{
    m_caption = caption;
    m_label->setText(oneLineTitle(caption));
    // A caption longer than the edit runs on into the space beside it.
    m_label->resize(std::max(m_edit->width(), m_label->sizeHint().width()), m_label->height());
}

void LabeledEdit::setFieldWidth(int width)
{
    m_edit->resize(width, m_edit->height());
    placeNote();
    m_label->resize(std::max(width, captionWidth()), m_label->height());
    resize(width, height());
}

int LabeledEdit::captionWidth() const
{
    return m_label->sizeHint().width();
}

QString LabeledEdit::editText() const
{
    return m_edit->text();
}

void LabeledEdit::setEditText(const QString& text)
{
    m_edit->setText(text);
}
