// Tells whether handles were left open between two points of a test.
#pragma once

#include <stdint.h>

namespace testing_support {

// The highest value among many handles opened at once. The handle table hands
// freed entries out again before it grows, so this rises with every handle left
// open since the last call.
uintptr_t HighestOfManyHandles();

}  // namespace testing_support
