// Text handling every subsystem needs: code-page conversions, numbers to text,
// ASCII case folding, search and replace, path parts, fitting a text into a pixel
// width and skin colours. No state, no locks, never throws; any thread may call.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "gui/font.h"

namespace base {

// Conversions; an empty or unconvertible input gives an empty result, and the
// result ends at the first zero character.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
std::wstring Utf8ToWide(const char* text);  // null gives empty
std::string WideToUtf8(const std::wstring& text);

std::wstring IntToWString(int32_t value);
std::wstring Int64ToWString(int64_t value);
std::string IntToString(int32_t value);
std::string Int64ToString(int64_t value);
std::wstring FormatQuad(int32_t a, int32_t b, int32_t c, int32_t d);  // "a,b,c,d"
std::wstring FormatPair(int32_t a, int32_t b);                        // "a,b"

// Only the letters a-z and A-Z change, whatever the process locale.
std::wstring ToUpper(const std::wstring& text);
std::wstring ToLower(const std::wstring& text);
bool EqualNoCase(const std::wstring& a, const std::wstring& b);

// Replaces left to right and never searches inside a replacement; an empty search
// text leaves the text unchanged. Returns the text.
std::wstring& ReplaceAll(std::wstring& text, const std::wstring& search,
                         const std::wstring& replacement);

// Pieces between the delimiters; no piece for an empty text and none after a
// trailing delimiter.
std::vector<std::wstring> SplitByDot(const std::wstring& text);
std::vector<std::string> SplitString(const std::string& text, char delimiter);

int32_t HexDigitValue(char c);  // -1 for a non-hexadecimal character

// After the last backslash, colon or slash.
const wchar_t* GetFileNamePart(const wchar_t* path);
std::wstring GetFileNameString(const std::wstring& path);
// After the last backslash only.
std::wstring GetFileNameOf(const std::wstring& path);
// ".ext" of the file-name part, or empty.
std::wstring GetFileExtension(const std::wstring& path);
// The file-name part without its extension; a leading dot is not an extension.
std::wstring GetFileTitle(const std::wstring& path);

// Widths as Gui::GetTextSize measures them in the font.
int32_t GetTextWidth(const std::wstring& text, Gui::Font font);
// The text when it fits in max_width, else its longest prefix that fits followed by
// "..." ("..." alone when even that is too wide).
std::wstring EllipsisText(const std::wstring& text, Gui::Font font, int max_width);
// How many leading characters fit in max_width (all when the whole text fits).
uint32_t FitTextLength(const std::wstring& text, Gui::Font font, int max_width);

// "#RRGGBB" to 0x00BBGGRR; "#" alone is the null colour 0xFFFFFFFF. On false the
// colour is unchanged.
bool ParseColor(const std::string& text, uint32_t& color);

}  // namespace base
