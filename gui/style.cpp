#include "gui/style.h"

#include <vector>

namespace Gui {

namespace {

struct StyleEntry {
    uint8_t* status;
    void (*reinit)();
};

// Only ever appended to; the storage goes at exit.
std::vector<StyleEntry>& StyleList() {
    static std::vector<StyleEntry> list;
    return list;
}

}  // namespace

void RegisterStyle(uint8_t* status, uint8_t* registered, void (*reinit)()) {
    if (*registered) return;
    StyleList().push_back(StyleEntry{status, reinit});
    *registered = 1;
}

std::size_t GetRegisteredStyleCount() { return StyleList().size(); }

}  // namespace Gui
