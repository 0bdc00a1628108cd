// Version resources.
#pragma once

#include "winnt.h"
#include "winerror.h"
