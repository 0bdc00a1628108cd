// Special folders and folder creation.
#pragma once

#include "windows.h"
