#include "command_line.h"

#include <cwctype>

#include "text.h"

namespace sevenza {

std::vector<std::wstring> split_words(const std::wstring& line) {
    std::vector<std::wstring> words;
    std::wstring word;
    bool in_word = false, quoted = false;
    for (wchar_t c : line) {
        if (c == L'"') {
            quoted = !quoted;
            in_word = true;
        } else if (!quoted && (c == L' ' || c == L'\t')) {
            if (in_word) words.push_back(std::move(word));
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) words.push_back(std::move(word));
    return words;
}

namespace {

std::wstring lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// Switches that only change what is printed or confirm prompts we never show.
bool is_quiet_switch(const std::wstring& name) {
    return name == L"y" || name == L"bd" || name.rfind(L"bb", 0) == 0 ||
           name.rfind(L"bso", 0) == 0 || name.rfind(L"bse", 0) == 0 || name.rfind(L"bsp", 0) == 0;
}

}  // namespace

bool parse_request(const std::vector<std::wstring>& words, Request* request, std::string* error) {
    *request = Request{};
    bool switches_end = false;
    bool have_command = false;
    std::vector<std::wstring> names;
    for (const auto& word : words) {
        if (!switches_end && word == L"--") {
            switches_end = true;
            continue;
        }
        if (!switches_end && word.size() > 1 && word[0] == L'-') {
            std::wstring body = word.substr(1);
            std::wstring name = lower(body);
            if (name[0] == L'o') {
                request->output_folder = body.substr(1);
                if (request->output_folder.empty()) {
                    *error = "the -o switch needs a folder";
                    return false;
                }
            } else if (name == L"aoa") {
                request->overwrite = Overwrite::kAll;
            } else if (name == L"aos") {
                request->overwrite = Overwrite::kSkip;
            } else if (!is_quiet_switch(name)) {
                *error = "unsupported switch: " + to_utf8(word);
                return false;
            }
            continue;
        }
        if (!have_command) {
            std::wstring command = lower(word);
            if (command != L"x") {
                *error = "unsupported command: " + to_utf8(word);
                return false;
            }
            request->command = Request::Command::kExtract;
            have_command = true;
            continue;
        }
        names.push_back(word);
    }
    if (!have_command) {
        *error = "no command";
        return false;
    }
    if (names.empty()) {
        *error = "no archive name";
        return false;
    }
    if (names.size() > 1) {
        *error = "file names after the archive are not supported: " + to_utf8(names[1]);
        return false;
    }
    request->archive = names[0];
    return true;
}

}  // namespace sevenza
