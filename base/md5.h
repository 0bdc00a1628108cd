// An MD5 digest object that answers upper-case hexadecimal text; wide text is hashed as
// its UTF-16LE bytes.
#pragma once

#include <cstdint>

namespace base {

class MD5 {
public:
    MD5();

    void Reset();
    // Adds bytes; 0 for a negative length (or missing bytes), which changes nothing.
    // The first update after a finalisation starts a new digest.
    int Update(const unsigned char* data, int32_t length);
    // Adds the text's UTF-16LE bytes, two per unit, no terminator; 0 for a null text.
    int UpdateText(const wchar_t* text);
    // Finishes the digest and answers its 32-digit upper-case text; null when nothing was
    // added since the last finalisation or reset.
    const wchar_t* FinalHex();
    // Reset, UpdateText, FinalHex; null for a null text.
    const wchar_t* HashText(const wchar_t* text);

    const unsigned char* Digest() const { return digest_; }
    const wchar_t* DigestText() const { return digest_text_; }

private:
    int32_t started_;
    uint32_t state_[4];
    uint32_t count_[2];
    unsigned char buffer_[64];
    unsigned char digest_[16];
    wchar_t digest_text_[40];
};

}  // namespace base
