#include "gui/core/pte.h"

#include "gui/core/mutex.h"

namespace Gui {
namespace {

StaticMutex g_pte_lock;

}  // namespace

PteBase::Prec* PteBase::GetPrec() {
    StaticMutex::Lock lock(g_pte_lock);
    if (prec_) {
        ++prec_->n;
        return prec_;
    }
    prec_ = new Prec{this, 1};
    return prec_;
}

PteBase::Prec* PteBase::CopyPrec(Prec* prec) {
    if (!prec) return nullptr;
    StaticMutex::Lock lock(g_pte_lock);
    // While a reference is held the living object's record is this one.
    if (!prec->ptr) return nullptr;
    ++prec->n;
    return prec;
}

void PteBase::Release(Prec* prec) {
    if (!prec) return;
    StaticMutex::Lock lock(g_pte_lock);
    if (--prec->n > 0) return;
    if (prec->ptr) prec->ptr->prec_ = nullptr;
    delete prec;
}

PteBase::~PteBase() {
    StaticMutex::Lock lock(g_pte_lock);
    if (prec_) __atomic_store_n(&prec_->ptr, static_cast<PteBase*>(nullptr), __ATOMIC_RELEASE);
}

}  // namespace Gui
