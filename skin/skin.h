// The skin's start-up and its text values.
#pragma once

#include <windows.h>

#include <string>

// Unpacks the built-in skin into "skin" under the current folder and loads it.
// The client start ignores the result.
bool InitSkin();

// The skin text of the key, empty when the key is missing.
std::wstring GetSkinWString(const std::wstring& key);
// The caption of message boxes that have none: the skin's "default_wnd_caption".
std::wstring GetDefaultWndCaption();

namespace skin {

// What InitSkin does, for a given working folder (a prefix ending in a backslash)
// and the package bytes: creates <folder>skin, writes the package there as
// skin.sk, loads its skin.info and sets the default font from "normal_ft".
bool InstallSkinPackage(const std::wstring& working_folder, const void* data, size_t size);
// The same with the "SKIN.ZIP" resource of type "ZIP" of the program's module.
bool InitSkinIn(const std::wstring& working_folder);
// Loads skin.info from a package file into the value store.
bool LoadSkinPackage(const std::wstring& package_path);

}  // namespace skin
