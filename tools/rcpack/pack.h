// Turns a parsed manifest into the resource blob that a module embeds (the
// layout of w32/rsrc_format.h).
#pragma once

#include "manifest.h"

#include <stdint.h>

#include <string>
#include <vector>

namespace rcpack {

using Bytes = std::vector<uint8_t>;

struct Resource {
    ResId type;
    ResId name;
    uint16_t lang = 0;
    Bytes data;
};

// Reads the files the manifest names and builds every resource: the listed
// files, the string table blocks, the icons and the version block. dll marks
// the version block's file type. False with *error when a file is unreadable
// or malformed, or when two resources share type, name and language.
bool CollectResources(const Manifest& m, bool dll, std::vector<Resource>* out, std::string* error);

Bytes BuildBlob(const std::vector<Resource>& resources);

Bytes BuildStringBlock(const std::vector<const StringEntry*>& entries);
bool BuildVersionBlock(const VersionInfo& v, bool dll, Bytes* out, std::string* error);
// An icon file (.ico, or a single .png image) becomes RT_ICON images with ids
// from *next_image_id on, and the RT_GROUP_ICON directory that names them.
bool BuildIcon(const Bytes& file, uint32_t group_id, uint16_t lang, uint32_t* next_image_id,
               std::vector<Resource>* out, std::string* error);

bool ReadFile(const std::string& path, Bytes* out);

}  // namespace rcpack
