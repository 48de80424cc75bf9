// Document commands: New, Open, CSV export, base parameters, view parameters.
#include "app/sdimain.h"

void TSDIAppForm::FileNew1Execute() {}

void TSDIAppForm::FileOpen() {}

void TSDIAppForm::N11Click() {}

void TSDIAppForm::N4Click() {}

void TSDIAppForm::N3Click() {}
