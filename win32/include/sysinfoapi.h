// Windows version and system information.
#pragma once

#include "winnt.h"
#include "winerror.h"
