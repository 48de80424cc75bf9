// The page "Поиск": name search and parametric selection.
#include "app/sdimain.h"

void TSDIAppForm::createSearchPage() {}

void TSDIAppForm::TabSheet4Show() {}
