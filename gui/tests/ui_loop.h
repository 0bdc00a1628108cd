// Moved to testing/; this name stays for tests written against it meanwhile.
#pragma once

#include "testing/ui_loop.h"
