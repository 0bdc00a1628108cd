#include "base/controller.h"

#include <atomic>

namespace base {
namespace {

// Set once by the entry code before any other thread runs; atomic so that pool threads
// never read a torn pointer.
std::atomic<Controller*> g_controller{nullptr};

}  // namespace

struct Controller::Pimpl {
    std::unique_ptr<ObjectTable> logic_table;
    std::unique_ptr<UIObjectTable> ui_table;
    bool destroying = false;  // no table is made again once released
};

Controller::Controller() : pimpl_(std::make_unique<Pimpl>()) {}

Controller::~Controller() {
    pimpl_->destroying = true;
    // The tables stay reachable while their objects are destroyed, so a destructor that
    // asks the controller for another object still finds one.
    if (pimpl_->ui_table) pimpl_->ui_table->ReleaseAll();
    pimpl_->ui_table.reset();
    if (pimpl_->logic_table) pimpl_->logic_table->ReleaseAll();
    pimpl_->logic_table.reset();
    // A destroyed controller must not stay reachable.
    Controller* self = this;
    g_controller.compare_exchange_strong(self, nullptr);
}

ObjectTable* Controller::GetObjectTable() {
    if (!pimpl_->logic_table && !pimpl_->destroying)
        pimpl_->logic_table = std::make_unique<ObjectTable>();
    return pimpl_->logic_table.get();
}

UIObjectTable* Controller::GetUIObjectTable() {
    if (!pimpl_->ui_table && !pimpl_->destroying)
        pimpl_->ui_table = std::make_unique<UIObjectTable>();
    return pimpl_->ui_table.get();
}

bool Controller::HasUIObject(int type_id) {
    UIObjectTable* table = GetUIObjectTable();
    return table && table->FindObject(type_id) != nullptr;
}

bool Controller::RemoveUIObject(int type_id) {
    UIObjectTable* table = GetUIObjectTable();
    return table && table->RemoveObject(type_id);
}

Controller* GetController() { return g_controller.load(std::memory_order_acquire); }

void SetController(Controller* controller) {
    g_controller.store(controller, std::memory_order_release);
}

bool HasUIObject(int type_id) {
    Controller* controller = GetController();
    return controller != nullptr && controller->HasUIObject(type_id);
}

bool RemoveUIObject(int type_id) {
    Controller* controller = GetController();
    return controller != nullptr && controller->RemoveUIObject(type_id);
}

}  // namespace base
