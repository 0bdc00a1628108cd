// _beginthreadex.
#pragma once

#include "windows.h"
