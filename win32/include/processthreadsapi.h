// Processes and their start-up records.
#pragma once

#include "winnt.h"
#include "winerror.h"
