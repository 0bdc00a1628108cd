// Reproducible random bytes for the payloads tests serve, pack and compare.
#pragma once

#include <random>
#include <string>

namespace testing_support {

inline std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(gen());
    return data;
}

}  // namespace testing_support
