// rcpack: packs the resources a manifest lists into the blob that a module
// embeds in its resource section.
//   rcpack --manifest <file> --output <blob> [--base <dir>] [--dll]
#include "manifest.h"
#include "pack.h"

#include <w32/whole_file.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <string_view>

int main(int argc, char** argv) {
    std::string manifest_path, output, base;
    bool dll = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--dll") {
            dll = true;
        } else if ((a == "--manifest" || a == "--output" || a == "--base") && i + 1 < argc) {
            (a == "--manifest" ? manifest_path : a == "--output" ? output : base) = argv[++i];
        } else {
            fprintf(stderr,
                    "usage: rcpack --manifest <file> --output <blob> [--base <dir>] [--dll]\n");
            return 2;
        }
    }
    if (manifest_path.empty() || output.empty()) {
        fprintf(stderr, "rcpack: --manifest and --output are required\n");
        return 2;
    }
    if (base.empty()) {
        auto slash = manifest_path.rfind('/');
        base = slash == std::string::npos ? "." : manifest_path.substr(0, slash);
    }

    rcpack::Bytes text;
    if (!rcpack::ReadFile(manifest_path, &text)) {
        fprintf(stderr, "rcpack: cannot read %s\n", manifest_path.c_str());
        return 1;
    }
    rcpack::Manifest m;
    std::string error;
    std::vector<rcpack::Resource> resources;
    if (!rcpack::ParseManifest(std::string(text.begin(), text.end()), base, &m, &error) ||
        !rcpack::CollectResources(m, dll, &resources, &error)) {
        fprintf(stderr, "%s: %s\n", manifest_path.c_str(), error.c_str());
        return 1;
    }

    rcpack::Bytes blob = rcpack::BuildBlob(resources);
    // A build step that dies leaves the old output, never a part of a new one.
    const std::string_view bytes(reinterpret_cast<const char*>(blob.data()), blob.size());
    if (int err = w32::write_file_atomically(output, bytes, {.durable = false, .serialized = true});
        err != 0) {
        fprintf(stderr, "rcpack: cannot write %s: %s\n", output.c_str(), strerror(err));
        return 1;
    }
    return 0;
}
