// A screen reaching up into the window: the check must refuse this.
#include "access.h"
#include "mainwindow.h"
