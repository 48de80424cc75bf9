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
