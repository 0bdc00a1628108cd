// 7za.exe: extracts an archive as the client asks of the 7z tool,
//   "<7za.exe>" x "<archive>" -o"<folder>" -aoa
// reading its own exact command line. Exit codes: 0 done, 2 an error (each one
// reported on standard error), 7 a bad command line.
#include <windows.h>
#include <win32_unixpath.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>

#include "command_line.h"
#include "extractor.h"
#include "text.h"

namespace {

constexpr int kFatal = 2;
constexpr int kCommandLineError = 7;

void usage() {
    std::printf(
        "usage: 7za x <archive> [-o<folder>] [-aoa | -aos] [-y]\n"
        "  x      extract every entry with its folders\n"
        "  -o     output folder (default: the current folder)\n"
        "  -aoa   replace existing files; -aos keeps them\n");
}

int fail(const std::string& message) {
    std::fprintf(stderr, "7za: ERROR: %s\n", message.c_str());
    return kFatal;
}

}  // namespace

int main() {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    auto words = sevenza::split_words(GetCommandLineW());
    if (words.size() <= 1) {
        usage();
        return 0;
    }
    words.erase(words.begin());

    sevenza::Request request;
    std::string error;
    if (!sevenza::parse_request(words, &request, &error)) {
        std::fprintf(stderr, "7za: command line error: %s\n", error.c_str());
        usage();
        return kCommandLineError;
    }

    std::string archive = Win32PathToUnix(request.archive.c_str());
    if (archive.empty()) return fail("no such drive or path: " + sevenza::to_utf8(request.archive));
    std::string folder = ".";
    if (!request.output_folder.empty()) {
        folder = Win32PathToUnix(request.output_folder.c_str());
        if (folder.empty())
            return fail("no such drive or path: " + sevenza::to_utf8(request.output_folder));
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return fail("cannot create the output folder " + folder + ": " + ec.message());

    sevenza::Extractor extractor(
        folder, request.overwrite, [](const std::string& entry, const std::string& message) {
            std::fprintf(stderr, "7za: ERROR: %s: %s\n", entry.c_str(), message.c_str());
        });
    sevenza::ExtractResult result = extractor.Extract(archive);
    if (!result.opened) return kFatal;
    std::printf("Extracted %d files and %d folders from %s into %s", result.files, result.folders,
                archive.c_str(), folder.c_str());
    if (result.skipped) std::printf(", kept %d existing files", result.skipped);
    std::printf("\n");
    if (result.errors) {
        std::fprintf(stderr, "7za: %d errors\n", result.errors);
        return kFatal;
    }
    return 0;
}
