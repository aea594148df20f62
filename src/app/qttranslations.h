// Qt's own texts in Russian: the buttons and labels of its standard dialogs ("Отмена", "Открыть",
// "Сохранить"…), so that nothing around the program's own Russian texts speaks English.
#pragma once

#include <QLocale>

class QTranslator;

namespace darni::app {

// Whether Qt's Russian texts are wanted: for a Russian locale, and whenever the system sets none (the
// "C" locale of a bare session), as the program itself always speaks Russian.
bool wantsRussianQtTexts(const QLocale& locale);

// Loads Qt's Russian texts into `translator` from where Qt keeps its translations; false when they
// are not installed (the standard dialogs then keep Qt's English, the program's own texts stay).
bool loadRussianQtTexts(QTranslator& translator);

} // namespace darni::app
