// Extracts every entry of an archive (any format libarchive reads) with its
// folders below one output folder. Files are written beside their final name and
// renamed over it, so a file that another process has mapped (a loaded library)
// keeps its old bytes. Folders are walked with O_NOFOLLOW, so neither an entry
// nor a link already inside the folder can send a write outside it. Data the
// library only warns about (a bad CRC, a size that does not match) is an error,
// no file grows past the bytes its entry holds, and a run writes at most a bound.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>

#include "command_line.h"

namespace sevenza {

struct ExtractResult {
    bool opened = false;  // the archive could be read at all
    int files = 0;
    int folders = 0;
    int skipped = 0;  // existing files kept under -aos
    int errors = 0;
};

class Extractor {
public:
    using Reporter = std::function<void(const std::string& entry, const std::string& message)>;

    // What one run may write in all: the companion archives are far smaller.
    static constexpr uint64_t kDefaultMaxOutput = 256ull << 20;

    Extractor(std::string output_folder, Overwrite overwrite, Reporter report_error,
              uint64_t max_output = kDefaultMaxOutput);

    ExtractResult Extract(const std::string& archive_path);

private:
    std::string output_folder_;
    Overwrite overwrite_;
    Reporter report_error_;
    uint64_t max_output_;
};

}  // namespace sevenza
