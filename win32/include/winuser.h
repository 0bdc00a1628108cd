// Windows, window classes, message queues and timers.
#pragma once

#include "winnt.h"
#include "winerror.h"
