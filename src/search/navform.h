#pragma once
// TNavForm: the dialog "Навигатор", created once by the main window and shown modally.
#include <QDialog>

class TSDIAppForm;

class TNavForm : public QDialog {
    Q_OBJECT
public:
    explicit TNavForm(TSDIAppForm& form);

    TSDIAppForm& mainForm() const { return m_form; }

private:
    TSDIAppForm& m_form;
};
