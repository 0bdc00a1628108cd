// Device I/O control codes and records.
#pragma once

#include "winnt.h"
#include "winerror.h"
