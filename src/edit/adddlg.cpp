#include "edit/adddlg.h"

#include "app/apputil.h"
#include "app/sdimain.h"

TAddDlg::TAddDlg(TSDIAppForm& form) : QDialog(&form), m_form(form)
{
    setObjectName(QStringLiteral("TAddDlg"));
    setWindowTitle(QStringLiteral("Добавить элемент"));
    setFont(veltrisFont());
}
