#pragma once
// TParamBase: the dialog "Параметры базы", created once by the main window and shown modally.
#include <QDialog>

class TSDIAppForm;

class TParamBase : public QDialog {
    Q_OBJECT
public:
    explicit TParamBase(TSDIAppForm& form);

    TSDIAppForm& mainForm() const { return m_form; }

private:
    TSDIAppForm& m_form;
};
