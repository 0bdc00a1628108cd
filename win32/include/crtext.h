// The wide C runtime extensions (_wfopen, _wstat, ...) on Windows paths.
#pragma once

#include "winnt.h"
#include "winerror.h"
