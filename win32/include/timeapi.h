// Clocks, system and file times, and time formatting.
#pragma once

#include "winnt.h"
#include "winerror.h"
