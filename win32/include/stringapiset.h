// Code-page conversion and string comparison.
#pragma once

#include "winnt.h"
#include "winerror.h"
