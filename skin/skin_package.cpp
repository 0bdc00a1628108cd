#include "skin/skin_package.h"

#include <unzip.h>
#include <win32_unixpath.h>

#include <memory>

namespace skin {

namespace {

struct UnzCloser {
    void operator()(void* archive) const { unzClose(archive); }
};
using Archive = std::unique_ptr<void, UnzCloser>;

}  // namespace

bool ReadPackageEntry(const std::wstring& package_path, const std::string& entry_name,
                      std::string& out) {
    Archive archive(unzOpen64(Win32PathToUnix(package_path.c_str()).c_str()));
    if (!archive) return false;
    if (unzLocateFile(archive.get(), entry_name.c_str(), 0) != UNZ_OK) return false;
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(archive.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    if (unzOpenCurrentFile(archive.get()) != UNZ_OK) return false;
    std::string data(static_cast<size_t>(info.uncompressed_size), '\0');
    size_t done = 0;
    bool ok = true;
    while (done < data.size()) {
        int n = unzReadCurrentFile(archive.get(), data.data() + done,
                                   static_cast<unsigned>(data.size() - done));
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    // Close checks the CRC once the whole entry was read.
    if (unzCloseCurrentFile(archive.get()) != UNZ_OK) ok = false;
    if (!ok) return false;
    out.swap(data);
    return true;
}

}  // namespace skin
