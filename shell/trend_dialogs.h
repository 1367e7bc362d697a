// The trend commands' boxes and the L1READ selection dialog (Qt), as the trend binding's
// interface hooks.
#pragma once

#include "shell/trend_binding.h"

class QWidget;

// Hooks whose boxes and dialog are owned by `parent` (the main window).
SimTrendUi SimTrendQtUi(QWidget* parent);
