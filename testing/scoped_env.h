// Sets an environment variable for one scope and puts the old value back.
#pragma once

#include <stdlib.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Settings made one after another during a scope, put back the latest first.
class ScopedEnvs {
public:
    ~ScopedEnvs() {
        while (!list_.empty()) list_.pop_back();
    }
    void Set(const char* name, const std::string& value) {
        list_.push_back(std::make_unique<ScopedEnv>(name, value));
    }

private:
    std::vector<std::unique_ptr<ScopedEnv>> list_;
};

}  // namespace testing_support
