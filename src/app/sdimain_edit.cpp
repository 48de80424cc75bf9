// Add, edit and delete elements of the main table.
#include "app/sdimain.h"

void TSDIAppForm::N7Click() {}

void TSDIAppForm::N8Click() {}

void TSDIAppForm::N9Click() {}
