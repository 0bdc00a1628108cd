#include "skin/skin.h"

#include <vector>

#include "base/log.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "skin/skin_loader.h"
#include "skin/skin_manager.h"
#include "skin/skin_zip_loader.h"

namespace skin {

namespace {

// What the store holds when the package cannot be read: text still has a size.
constexpr char kFallbackInfo[] = "normal_ft\n{\n    Height 12\n}\n";

bool WriteWholeFile(const std::wstring& path, const void* data, size_t size) {
    base::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), data, static_cast<DWORD>(size), &written, nullptr) &&
           written == size;
}

// The package the store reads its images from; replaced by the next load.
SkinZipLoader& Package() {
    static SkinZipLoader package;
    return package;
}

// Sets the default font whatever happened before, so that text always measures.
void FinishStart(bool loaded, const std::wstring& what) {
    SkinLoader& loader = SkinLoader::Instance();
    if (!loaded) {
        BASE_LOG(LL_ERROR, LCAT_ALL) << L"皮肤加载失败，使用默认字体：" << what;
        loader.LoadInfo(kFallbackInfo);
    }
    loader.SetFontCallback(&downloader::SkinManager::CreateFont);
    downloader::SkinManager::SetDefaultFont("normal_ft");
}

}  // namespace

namespace {

// Loads skin.info and every image from the opened package into the value store.
bool LoadOpenedPackage(bool opened) {
    SkinLoader& loader = SkinLoader::Instance();
    SkinZipLoader& package = Package();
    if (!opened || !package.LoadInfo(loader)) {
        package.Close();
        return false;
    }
    package.LoadImages(loader);
    loader.SetImageReader([](const std::string& name) { return Package().ReadImage(name); });
    return true;
}

}  // namespace

bool LoadSkinPackage(const std::wstring& package_path) {
    SkinLoader::Instance().SetImageReader(nullptr);
    return LoadOpenedPackage(Package().Open(package_path));
}

bool InstallSkinPackage(const std::wstring& working_folder, const void* data, size_t size) {
    std::wstring folder = working_folder + L"skin";
    std::wstring package = folder + L"\\skin.sk";
    bool loaded =
        (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) &&
        WriteWholeFile(package, data, size) && LoadSkinPackage(package);
    if (!loaded) {
        // The copy on disk cannot serve (no room, no rights, something else in its place):
        // the package is read where it lies in memory.
        BASE_LOG(LL_WARNING, LCAT_ALL) << L"皮肤文件不可用，从内存加载：" << package;
        SkinLoader::Instance().SetImageReader(nullptr);
        loaded = LoadOpenedPackage(Package().OpenMemory(data, size));
    }
    FinishStart(loaded, package);
    return loaded;
}

bool InitSkinIn(const std::wstring& working_folder) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, L"SKIN.ZIP", L"ZIP");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        FinishStart(false, L"SKIN.ZIP");
        return false;
    }
    return InstallSkinPackage(working_folder, data, SizeofResource(module, found));
}

}  // namespace skin

bool InitSkin() {
    // The configuration's working folder is not available yet; the current folder stands in.
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    std::wstring folder(buffer.data(), n < buffer.size() ? n : 0);
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return skin::InitSkinIn(folder);
}

std::wstring GetSkinWString(const std::wstring& key) {
    std::string value;
    if (!skin::SkinLoader::Instance().GetString(base::WideToUtf8(key), value)) return L"";
    return base::Utf8ToWide(value.c_str());
}

std::wstring GetDefaultWndCaption() { return GetSkinWString(L"default_wnd_caption"); }

Gui::Image GetSkinImage(const std::wstring& key) {
    Gui::Image image;
    skin::SkinLoader::Instance().GetImage(base::WideToUtf8(key), image);
    return image;
}
