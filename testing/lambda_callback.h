// A toolkit callback that runs a lambda, for the tests and benchmarks of
// callbacks, threads, pools and timers. It can count its own destruction, which
// shows that whoever held the callback let it go.
#pragma once

#include <atomic>
#include <utility>

#include "gui/core/callback.h"

namespace testing_support {

template <class F>
class LambdaAction : public Gui::CallbackAction {
public:
    LambdaAction(F f, std::atomic<int>* destroyed) : f_(std::move(f)), destroyed_(destroyed) {}
    ~LambdaAction() override {
        if (destroyed_) ++*destroyed_;
    }
    void Execute() override { f_(); }

private:
    F f_;
    std::atomic<int>* destroyed_;
};

template <class F>
Gui::Callback Do(F f, std::atomic<int>* destroyed = nullptr) {
    return Gui::Callback(new LambdaAction<F>(std::move(f), destroyed));
}

}  // namespace testing_support
