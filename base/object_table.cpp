#include "base/object_table.h"

#include <atomic>
#include <iterator>
#include <vector>

namespace base {
namespace {

std::atomic<int> g_last_type_id{0};

template <class Map>
typename Map::mapped_type::element_type* Find(const Map& map, int type_id) {
    auto it = map.find(type_id);
    return it == map.end() ? nullptr : it->second.get();
}

template <class Map, class T>
T* Add(Map& map, bool releasing, int type_id, T* obj) {
    boost::shared_ptr<T> owned(obj);
    if (releasing) return nullptr;
    auto [it, inserted] = map.emplace(type_id, owned);
    return inserted ? it->second.get() : nullptr;
}

// One entry at a time, the highest id first; the entry leaves the map before its object
// dies, so a destructor that looks at the table sees a consistent map.
template <class Map>
void EraseAllFromTop(Map& map) {
    while (!map.empty()) {
        auto last = std::prev(map.end());
        auto holder = std::move(last->second);
        map.erase(last);
        holder.reset();
    }
}

}  // namespace

int NextTypeId() { return g_last_type_id.fetch_add(1) + 1; }

ObjectTable::ObjectTable()
    : map_(std::make_unique<std::map<int, boost::shared_ptr<LogicObject>>>()) {}

ObjectTable::~ObjectTable() { ReleaseAll(); }

LogicObject* ObjectTable::FindObject(int type_id) const { return Find(*map_, type_id); }

bool ObjectTable::Contains(int type_id) const { return map_->count(type_id) != 0; }

LogicObject* ObjectTable::AddObject(int type_id, LogicObject* obj) {
    return Add(*map_, releasing_, type_id, obj);
}

void ObjectTable::ReleaseAll() {
    if (releasing_) return;
    releasing_ = true;
    // Ids are collected first: a destructor may remove entries while we walk.
    std::vector<int> ids;
    for (const auto& entry : *map_) ids.push_back(entry.first);
    for (int id : ids) {
        auto it = map_->find(id);
        if (it == map_->end() || !it->second || !it->second->NeedReleaseFirst()) continue;
        auto holder = std::move(it->second);
        map_->erase(it);
        holder.reset();
    }
    EraseAllFromTop(*map_);
    releasing_ = false;
}

UIObjectTable::UIObjectTable()
    : map_(std::make_unique<std::map<int, boost::shared_ptr<UIObject>>>()) {}

UIObjectTable::~UIObjectTable() { ReleaseAll(); }

UIObject* UIObjectTable::FindObject(int type_id) const { return Find(*map_, type_id); }

bool UIObjectTable::Contains(int type_id) const { return map_->count(type_id) != 0; }

UIObject* UIObjectTable::AddObject(int type_id, UIObject* obj) {
    return Add(*map_, releasing_, type_id, obj);
}

bool UIObjectTable::RemoveObject(int type_id) {
    auto it = map_->find(type_id);
    if (it == map_->end()) return false;
    auto holder = std::move(it->second);
    map_->erase(it);
    holder.reset();
    return true;
}

void UIObjectTable::ReleaseAll() {
    if (releasing_) return;
    releasing_ = true;
    EraseAllFromTop(*map_);
    releasing_ = false;
}

}  // namespace base
