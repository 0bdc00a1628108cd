// The skin's start-up, its text values and its images.
#pragma once

#include <windows.h>

#include <string>

#include "gui/image.h"

// Unpacks the built-in skin into "skin" under the current folder and loads it.
// The client start ignores the result.
bool InitSkin();

// The skin text of the key, empty when the key is missing.
std::wstring GetSkinWString(const std::wstring& key);
// The caption of message boxes that have none: the skin's "default_wnd_caption".
std::wstring GetDefaultWndCaption();
// The skin image of the key with its hot spots; the empty image when the key is
// missing or its value names no readable image.
Gui::Image GetSkinImage(const std::wstring& key);

namespace skin {

// What InitSkin does, for a given working folder (a prefix ending in a backslash)
// and the package bytes: creates <folder>skin, writes the package there as
// skin.sk, loads its skin.info and every image, installs the package image
// reader and the font callback, and sets the default font from "normal_ft". When
// that copy cannot be written or read, the package is read from `data` itself,
// which must then live as long as the skin does (a resource does). A package that
// cannot be read either way is logged and leaves a store holding only a 12-pixel
// "normal_ft", so the default font is still usable. True when the package was read.
bool InstallSkinPackage(const std::wstring& working_folder, const void* data, size_t size);
// The same with the "SKIN.ZIP" resource of type "ZIP" of the program's module.
bool InitSkinIn(const std::wstring& working_folder);
// Loads skin.info and every image from a package file into the value store and
// makes the package the store's image reader.
bool LoadSkinPackage(const std::wstring& package_path);

}  // namespace skin
