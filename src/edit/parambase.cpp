#include "edit/parambase.h"

#include "app/apputil.h"
#include "app/sdimain.h"

TParamBase::TParamBase(TSDIAppForm& form) : QDialog(&form), m_form(form)
{
    setObjectName(QStringLiteral("TParamBase"));
    setWindowTitle(QStringLiteral("Параметры базы"));
    setFont(veltrisFont());
}
