#pragma once

// A helper that reaches up into the window: the check must refuse it.
#include <views/window/MainWindow.h>
