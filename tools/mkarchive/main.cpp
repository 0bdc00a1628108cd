// mkarchive: the build's archiver for the embedded companion archives.
//   mkarchive --format 7zip|zip [--store] --output FILE [name=]PATH...
#include <cstdio>
#include <string>
#include <vector>

#include "archive_builder.h"

int main(int argc, char** argv) {
    mkarchive::Options options;
    std::string output;
    std::vector<mkarchive::Member> members;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--format" && i + 1 < argc) {
            options.format = argv[++i];
        } else if (arg == "--output" && i + 1 < argc) {
            output = argv[++i];
        } else if (arg == "--store") {
            options.store = true;
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "mkarchive: unknown option %s\n", arg.c_str());
            return 2;
        } else {
            members.push_back(mkarchive::parse_member(arg));
        }
    }
    if (output.empty() || members.empty()) {
        std::fprintf(stderr,
                     "usage: mkarchive --format 7zip|zip [--store] --output FILE [name=]PATH...\n");
        return 2;
    }
    std::string error;
    if (!mkarchive::build_archive(output, members, options, &error)) {
        std::fprintf(stderr, "mkarchive: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
