// The window: may see every room below it.
#include "access.h"
