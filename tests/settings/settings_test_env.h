#pragma once
// Helpers for the Qt-free ui tests: a scratch directory, a faked locale, and a message-box
// responder that records what it was shown.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace wing::testing_ui {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The user's locale as LANG alone says it.
class FakeLocale {
public:
    explicit FakeLocale(const char* lang)
        : all_("LC_ALL", nullptr), messages_("LC_MESSAGES", nullptr), lang_("LANG", lang) {}

private:
    ScopedEnv all_, messages_, lang_;
};

class BoxRecorder {
public:
    BoxRecorder() {
        previous_ = SetMessageBoxHandler([this](const MessageBoxRequest& r) {
            boxes.push_back(r);
            return IDOK;
        });
    }
    ~BoxRecorder() { SetMessageBoxHandler(previous_); }
    std::vector<MessageBoxRequest> boxes;

private:
    MessageBoxHandler previous_;
};

class ScratchDir {
public:
    ScratchDir() {
        path = std::filesystem::temp_directory_path() /
               ("wing-ui-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(path);
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::filesystem::path Write(const std::string& text, const char* name = "Wing.ini") const {
        auto file = path / name;
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    std::filesystem::path path;
};

}  // namespace wing::testing_ui
