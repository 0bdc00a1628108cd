// Path predicates and helpers.
#pragma once

#include "windows.h"
