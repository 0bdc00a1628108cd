// Holders for the maker's companion libraries (base, configuration, utility). A holder is
// built empty before the entry function runs and lives until exit; this program never
// loads a library through one (loading one is for signed libraries only), so a holder
// only owns whatever module it is given and frees it when it ends.
#pragma once

#include <windows.h>

// The export tables of the three libraries; the program calls none of their exports.
struct CVivIrorExportFuncs {};
struct CVaqConfExportFuncs {};
struct CVaqUtilExportFuncs {};

template <class ExportFuncs>
class CVaqPublicDLLHelper {
public:
    CVaqPublicDLLHelper() = default;
    ~CVaqPublicDLLHelper() { Release(); }
    CVaqPublicDLLHelper(const CVaqPublicDLLHelper&) = delete;
    CVaqPublicDLLHelper& operator=(const CVaqPublicDLLHelper&) = delete;

    bool IsLoaded() const { return module_ != nullptr; }
    HMODULE Module() const { return module_; }
    const ExportFuncs& Funcs() const { return funcs_; }

    // Takes a module that a verified load produced; a module held before is freed.
    void Attach(HMODULE module, const ExportFuncs& funcs) {
        Release();
        module_ = module;
        funcs_ = funcs;
    }

    void Release() {
        if (module_ != nullptr) FreeLibrary(module_);
        module_ = nullptr;
        funcs_ = ExportFuncs{};
    }

private:
    HMODULE module_ = nullptr;
    ExportFuncs funcs_{};
};
