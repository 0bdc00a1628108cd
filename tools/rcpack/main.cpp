// rcpack: packs the resources a manifest lists into the blob that a module
// embeds in its resource section.
//   rcpack --manifest <file> --output <blob> [--base <dir>] [--dll]
#include "manifest.h"
#include "pack.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>

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
    std::string tmp = output + ".tmp";
    std::unique_ptr<FILE, int (*)(FILE*)> f(fopen(tmp.c_str(), "wb"), fclose);
    if (!f || fwrite(blob.data(), 1, blob.size(), f.get()) != blob.size() || fflush(f.get()) != 0) {
        fprintf(stderr, "rcpack: cannot write %s\n", tmp.c_str());
        return 1;
    }
    f.reset();
    if (rename(tmp.c_str(), output.c_str()) != 0) {
        fprintf(stderr, "rcpack: cannot write %s: %s\n", output.c_str(), strerror(errno));
        return 1;
    }
    return 0;
}
