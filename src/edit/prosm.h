#pragma once
// TProsm: the dialog "Параметры просмотра", created once by the main window and shown modally.
#include <QDialog>

class TSDIAppForm;

class TProsm : public QDialog {
    Q_OBJECT
public:
    explicit TProsm(TSDIAppForm& form);

    TSDIAppForm& mainForm() const { return m_form; }

private:
    TSDIAppForm& m_form;
};
