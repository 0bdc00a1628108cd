// Process and module enumeration.
#pragma once

#include "windows.h"
