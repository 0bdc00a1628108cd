// Style records: the plain records that hold the look of the skinned controls
// (images per visual state, colours, offsets, fonts). The skin fills them, the
// controls paint from them. Every record starts with the same header, and each kind
// has a default record, filled once, whose standard pointer leads to the record
// holding the standard values.
#pragma once

#include <stdint.h>

#include <cstddef>

namespace Gui {

template <class T>
struct StyleHeader {
    uint8_t status = 0;      // 0 until the record's defaults have been applied
    uint8_t registered = 0;  // set once the record is in the list of style records
    T* standard = nullptr;   // the record with the standard values
};

// Enters a default record in the process-wide list of style records, once: nothing
// happens when *registered is set. The re-initialiser fills the record again (it
// calls the record's getter).
void RegisterStyle(uint8_t* status, uint8_t* registered, void (*reinit)());

// Entries of the list of style records.
std::size_t GetRegisteredStyleCount();

// The default record of T whose standard values come from fill: on the first call
// (or once its status was cleared) fill writes the standard record, the default
// record becomes a copy of it, is entered once in the list, and both point at the
// standard record. Later calls answer at once. UI thread only.
template <class T, void (*Fill)(T&)>
const T& DefaultStyle() {
    static T def;
    static T standard;
    if (def.status == 0) {
        Fill(standard);
        const uint8_t registered = def.registered;
        def = standard;
        def.registered = registered;
        RegisterStyle(&def.status, &def.registered, [] { DefaultStyle<T, Fill>(); });
        def.status = standard.status = 1;
        def.standard = standard.standard = &standard;
    }
    return def;
}

}  // namespace Gui
