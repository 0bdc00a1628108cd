// Profile (INI) files.
#pragma once

#include "winnt.h"
#include "winerror.h"
