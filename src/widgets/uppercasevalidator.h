#pragma once
// A line edit's text in capitals: letters become upper case as they are typed, pasted or set, the
// caret staying where it was.
#include <QValidator>
#include <algorithm>

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
