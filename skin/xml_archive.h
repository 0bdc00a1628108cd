// The skin package's archive items: a named value with child items, the unit an
// XML archive of the package is read into. Every source unit of the package code
// includes this header and so owns one empty item and one empty list, built before
// the program's entry runs and destroyed at exit.
#pragma once

#include <string>
#include <vector>

// The texts a boolean item value is written as.
inline const std::wstring kXMLArchiveTrue = L"true";
inline const std::wstring kXMLArchiveFalse = L"false";

class CXMLArchiveItem;

class CXMLArchiveItemList {
public:
    std::vector<CXMLArchiveItem>& Items() { return items_; }
    const std::vector<CXMLArchiveItem>& Items() const { return items_; }
    bool IsEmpty() const;

private:
    std::vector<CXMLArchiveItem> items_;
};

class CXMLArchiveItem {
public:
    std::wstring name;
    std::wstring value;
    CXMLArchiveItemList children;

    bool IsEmpty() const { return name.empty() && value.empty() && children.IsEmpty(); }
    void SetBool(bool b) { value = b ? kXMLArchiveTrue : kXMLArchiveFalse; }
    bool GetBool() const { return value == kXMLArchiveTrue; }
};

inline bool CXMLArchiveItemList::IsEmpty() const { return items_.empty(); }

namespace {
[[maybe_unused]] CXMLArchiveItem g_xml_archive_empty_item;
[[maybe_unused]] CXMLArchiveItemList g_xml_archive_empty_list;
}  // namespace
