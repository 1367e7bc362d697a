// The trend binding in the program: the trend commands' boxes and the L1READ selection dialog
// (Qt) as the binding's interface hooks, and the binding's part of the main window's hooks.
#pragma once

#include <cstdint>

#include "shell/trend_binding.h"

class QWidget;
class SimMainWindow;
struct SimMainWindowHooks;

// Hooks whose boxes and dialog are owned by `parent` (the main window).
SimTrendUi SimTrendQtUi(QWidget* parent);
// The channel dialog's runner: the main window takes no input while the viewer's dialog is
// open (as a modal dialog's owner), and the event loop, the cycle with it, keeps running.
int SimTrendQtDialogRunner(KurvanHandle h);

// At start, before the first project is loaded: the firmware's table, the dialog runner, the
// three trends and the channel settings that follow every project loaded and saved.
void SimTrendBegin(std::intptr_t instance);
// At the end (again after the main window's close): the trends destroyed, the project hooks
// cleared.
void SimTrendEnd();
// Fills the trend members of `hooks` for `w` (the commands, the save prompt's test, the sample,
// the reset, the language and the close) and shows the trend items of its menu.
void SimTrendBindWindow(SimMainWindow* w, SimMainWindowHooks* hooks);
// The trends' part of a language change: titles and texts, and the trend items shown again in
// the new menu bar. `hooks.languageChanged` calls it; a chained hook calls it as well.
void SimTrendWindowLanguageChanged(SimMainWindow* w);
