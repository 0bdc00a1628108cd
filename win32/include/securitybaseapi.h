// Access tokens and privileges.
#pragma once

#include "winnt.h"
#include "winerror.h"
