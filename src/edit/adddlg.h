#pragma once
// TAddDlg: the dialog "Добавить элемент", created once by the main window and shown modally.
#include <QDialog>

class TSDIAppForm;

class TAddDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAddDlg(TSDIAppForm& form);

    TSDIAppForm& mainForm() const { return m_form; }

private:
    TSDIAppForm& m_form;
};
