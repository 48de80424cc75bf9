#include "edit/prosm.h"

#include "app/apputil.h"
#include "app/sdimain.h"

TProsm::TProsm(TSDIAppForm& form) : QDialog(&form), m_form(form)
{
    setObjectName(QStringLiteral("TProsm"));
    setWindowTitle(QStringLiteral("Параметры просмотра"));
    setFont(veltrisFont());
}
