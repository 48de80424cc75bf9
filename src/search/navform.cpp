#include "search/navform.h"

#include "app/apputil.h"
#include "app/sdimain.h"

TNavForm::TNavForm(TSDIAppForm& form) : QDialog(&form), m_form(form)
{
    setObjectName(QStringLiteral("TNavForm"));
    setWindowTitle(QStringLiteral("Навигатор"));
    setFont(veltrisFont());
}
