#pragma once
// Alt and a letter reach the Russian access keys («&Файл», «&Помощь») also while the keyboard is
// in its Latin layout: the key that gives «Ф» in the Russian layout gives «A» in the Latin one,
// and Qt matches access keys by the letter the key gives. Alt+A is then taken for Alt+Ф.
#include <QChar>

class QWidget;

// The Cyrillic letter on the key that gives Latin letter (or punctuation) `latin` in the usual
// Russian (ЙЦУКЕН) and US layouts; a null QChar for keys without one.
QChar cyrillicOnSameKey(QChar latin);

// Once per application: Alt + a Latin key that no shortcut took activates the access key of the
// Cyrillic letter on the same key in the active window: a menu of its menu bar, an entry of an
// open menu, a button, or the buddy of a label.
void installLatinMnemonics();

// The access key `letter` (upper case) in `window`; true when something took it.
bool activateMnemonic(QWidget* window, QChar letter);
