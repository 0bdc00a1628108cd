// The MD5 of some bytes as 32 lower-case hexadecimal digits (as engine files name their
// installers), computed by OpenSSL apart from the program's own MD5.
#pragma once

#include <openssl/evp.h>

#include <string>

namespace testing_support {

inline std::string Md5Hex(const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(data.data(), data.size(), digest, &len, EVP_md5(), nullptr);
    std::string out;
    for (unsigned i = 0; i < len; ++i)
        for (int nibble : {digest[i] >> 4, digest[i] & 15}) out += "0123456789abcdef"[nibble];
    return out;
}

}  // namespace testing_support
