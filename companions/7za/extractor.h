// Extracts every entry of an archive (any format libarchive reads) with its
// folders below one output folder. Files are written beside their final name and
// renamed over it, so a file that another process has mapped (a loaded library)
// keeps its old bytes. Folders are walked with O_NOFOLLOW, so neither an entry
// nor a link already inside the folder can send a write outside it.
#pragma once

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

    Extractor(std::string output_folder, Overwrite overwrite, Reporter report_error);

    ExtractResult Extract(const std::string& archive_path);

private:
    std::string output_folder_;
    Overwrite overwrite_;
    Reporter report_error_;
};

}  // namespace sevenza
