// The registry.
#pragma once

#include "winnt.h"
#include "winerror.h"
