// The language-selection dialog that the simulator and the trend viewer offer: a list of the
// languages a program has, each named in its own language, with OK and Cancel; and Qt's own
// texts in the language the program speaks.
//
// Languages are numbered as the trend viewer's letters "gefisd": 0 German, 1 English,
// 2 French, 3 Italian, 4 Spanish, 5 Dutch. The simulator offers 0..2 (mask 7).
#pragma once

#include <cstdint>

class QDialog;
class QWidget;

constexpr int LINGSEL_LANGUAGES = 6;

// The name of language `index` in that language (UTF-8), or null outside 0..5.
const char* LingselLanguageName(int index);

// Runs the dialog over `parent` with the languages whose bit is set in `mask` (bits from 6 on
// are ignored); *language is selected at the start when offered, else the first one offered.
// Returns 1 and sets *language when the user chose a language with OK (or a double click);
// 0 on Cancel, and at once when `language` is null or no language is offered. `instance` is
// the calling program's instance; it does not change what the dialog does.
int LanguageSelectDialog(std::intptr_t instance, QWidget* parent, int* language, unsigned mask);

// Qt's own texts (the standard buttons, the file, print and message dialogs) in language
// `index`: Qt's catalogue "qtbase_<code>" from Qt's translation folder (Debian's
// qt6-translations-l10n) replaces the one installed before. English needs none: Qt's texts
// are English. True when the language's texts are in use; false (and Qt's English texts)
// for an index outside 0..5 or a catalogue that is missing. Needs the application object.
bool LingselUseQtTexts(int index);
// The code of language `index` in Qt's catalogue names ("de", "en" ...), or null outside 0..5.
const char* LingselQtCode(int index);

// The object name of the dialog's list (one row per offered language, in index order), for
// callers and tests that look for it.
constexpr const char* LINGSEL_LIST_NAME = "LingselList";
