// Critical sections, events, semaphores, mutexes, Sleep and interlocked operations.
#pragma once

#include "winnt.h"
#include "winerror.h"
