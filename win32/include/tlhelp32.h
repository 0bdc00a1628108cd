// Process snapshots.
#pragma once

#include "windows.h"
