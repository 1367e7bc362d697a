// The trend commands' boxes and the L1READ selection dialog (Qt), as the trend binding's
// interface hooks.
#pragma once

#include "shell/trend_binding.h"

class QWidget;

// Hooks whose boxes and dialog are owned by `parent` (the main window).
SimTrendUi SimTrendQtUi(QWidget* parent);
// The channel dialog's runner: the main window takes no input while the viewer's dialog is
// open (as a modal dialog's owner), and the event loop, the cycle with it, keeps running.
int SimTrendQtDialogRunner(KurvanHandle h);
