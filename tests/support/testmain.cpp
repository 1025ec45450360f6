// Keeps the support library non-empty before the fixtures arrive.
#include "testmain.h"
