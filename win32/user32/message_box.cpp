// Headless message boxes: they answer at once and leave a record of what was shown.
#include <windows.h>

#include "w32/builtin.h"
#include "w32/dialog_log.h"
#include "w32/text.h"

#include <stdlib.h>
#include <strings.h>

#include <array>
#include <span>
#include <string>

namespace {

struct ButtonSet {
    std::array<int, 3> ids;
    int count;
};

// Indexed by the MB_TYPEMASK bits.
constexpr std::array<ButtonSet, 7> kButtonSets = {{
    {{IDOK}, 1},
    {{IDOK, IDCANCEL}, 2},
    {{IDABORT, IDRETRY, IDIGNORE}, 3},
    {{IDYES, IDNO, IDCANCEL}, 3},
    {{IDYES, IDNO}, 2},
    {{IDRETRY, IDCANCEL}, 2},
    {{IDCANCEL, IDTRYAGAIN, IDCONTINUE}, 3},
}};

struct AnswerName {
    const char* name;
    int id;
};

constexpr std::array<AnswerName, 9> kAnswerNames = {{
    {"IDOK", IDOK},
    {"IDCANCEL", IDCANCEL},
    {"IDABORT", IDABORT},
    {"IDRETRY", IDRETRY},
    {"IDIGNORE", IDIGNORE},
    {"IDYES", IDYES},
    {"IDNO", IDNO},
    {"IDTRYAGAIN", IDTRYAGAIN},
    {"IDCONTINUE", IDCONTINUE},
}};

// The knob's answer as an id, or 0 when it is unset or says nothing we know.
int configured_answer() {
    const char* v = getenv("WIN32_MSGBOX_ANSWER");
    if (!v || !*v) return 0;
    for (const auto& a : kAnswerNames)
        if (strcasecmp(v, a.name) == 0) return a.id;
    char* end = nullptr;
    long n = strtol(v, &end, 10);
    return (*end == '\0' && n > 0 && n < 0x10000) ? static_cast<int>(n) : 0;
}

std::string answer_name(int id) {
    for (const auto& a : kAnswerNames)
        if (a.id == id) return a.name;
    return std::to_string(id);
}

}  // namespace

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    const UINT set_index = type & MB_TYPEMASK;
    if (set_index >= kButtonSets.size()) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const ButtonSet& set = kButtonSets[set_index];
    std::span<const int> buttons(set.ids.data(), set.count);

    // A default button past the last one falls back to the first, as the real box does.
    const UINT def_index = (type & MB_DEFMASK) >> 8;
    int answer = def_index < buttons.size() ? buttons[def_index] : buttons[0];
    // The person can only press a button the box has; any other wish leaves the default.
    const int wanted = configured_answer();
    for (int id : buttons)
        if (id == wanted) answer = id;

    const wchar_t* shown_caption = caption ? caption : L"Error";
    w32::log_dialog("msgbox", shown_caption, text ? text : L"", type, answer_name(answer));
    return answer;
}

W32_BUILTIN_EXPORT("user32.dll", MessageBoxW);
