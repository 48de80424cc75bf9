#pragma once
// A spin box that says so when a typed number lies outside its range. A plain QSpinBox refuses
// the keystroke that would leave the range, so typing 150 into 0..100 silently gives 15; here the
// text stays as typed, and when the field is left or Enter is pressed the value goes back to what
// it was before the typing and outOfRange() reports the typed text.
#include <QSpinBox>

class RangeSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit RangeSpinBox(QWidget* parent = nullptr);

    // «150» вне допустимых пределов: от 0 до 100
    QString outOfRangeMessage(const QString& typed) const;

signals:
    // A whole number outside the range was typed; the value is left as it was.
    void outOfRange(const QString& typed);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private:
    // The number part of a text: without prefix, suffix and blanks.
    QString numberPart(const QString& input) const;
};
