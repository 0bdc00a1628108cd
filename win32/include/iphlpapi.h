// Network adapter information.
#pragma once

#include "windows.h"
