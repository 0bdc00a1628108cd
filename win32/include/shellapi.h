// ShellExecute.
#pragma once

#include "windows.h"
