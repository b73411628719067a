#pragma once
// A simulator on its pseudo-terminal with the PC end opened, in a private config folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "logger-sim/logger_sim.h"
#include "pty_client.h"

namespace wing::sim::test {

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/wing-sim-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_configDir = tmpl;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old != nullptr) m_oldXdg = old;
        ::setenv("XDG_CONFIG_HOME", tmpl, 1);
    }
    void TearDown() override {
        client.reset();
        sim.reset();
        if (m_oldXdg.empty()) ::unsetenv("XDG_CONFIG_HOME");
        else ::setenv("XDG_CONFIG_HOME", m_oldXdg.c_str(), 1);
        std::filesystem::remove_all(m_configDir);
    }

    // Fast by default: unit tests need no line speed.
    static SimConfig Fast() {
        SimConfig c;
        c.pacing = false;
        return c;
    }

    void Launch(SimConfig config) {
        sim = std::make_unique<LoggerSimulator>(std::move(config));
        port = sim->Start();
        ASSERT_TRUE(port.ok) << port.error;
        client = std::make_unique<PtyClient>(port.slavePath);
        ASSERT_TRUE(client->ok());
    }

    std::unique_ptr<LoggerSimulator> sim;
    std::unique_ptr<PtyClient> client;
    SimPort port;
    std::filesystem::path m_configDir;
    std::string m_oldXdg;
};

}  // namespace wing::sim::test
