#include "widgets/rangespinbox.h"

RangeSpinBox::RangeSpinBox(QWidget* parent) : QSpinBox(parent)
{
    // The value changes when the typing is finished, so a refused number restores the value
    // from before it, not one from halfway through the typing.
    setKeyboardTracking(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

QString RangeSpinBox::numberPart(const QString& input) const
{
    QString text = input;
    if (!prefix().isEmpty() && text.startsWith(prefix()))
        text.remove(0, prefix().size());
    if (!suffix().isEmpty() && text.endsWith(suffix()))
        text.chop(suffix().size());
    return text.trimmed();
}

QValidator::State RangeSpinBox::validate(QString& input, int& pos) const
{
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state != QValidator::Invalid)
        return state;
    // Digits that leave the range stay in the field, to be reported rather than cut short.
    const QString number = numberPart(input);
    bool ok = false;
    number.toLongLong(&ok);
    return ok && !number.startsWith(u'+') ? QValidator::Intermediate : QValidator::Invalid;
}

void RangeSpinBox::fixup(QString& input) const
{
    const QString number = numberPart(input);
    bool ok = false;
    const long long v = number.toLongLong(&ok);
    if (ok && (v < minimum() || v > maximum()))
        emit const_cast<RangeSpinBox*>(this)->outOfRange(number);
}

QString RangeSpinBox::outOfRangeMessage(const QString& typed) const
{
    return QStringLiteral("«%1» вне допустимых пределов: от %2 до %3")
        .arg(typed)
        .arg(minimum())
        .arg(maximum());
}
