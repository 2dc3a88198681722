// The camera tests' names for the shared simulated-camera helpers.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/simulated_camera.h"

using CamsimProcess = SimulatedCamera;

// A fresh temporary path (not created) under the test's temporary directory.
inline std::string TempPath(const std::string& name) {
    static int serial = 0;
    return ::testing::TempDir() + "vexlarin-" + std::to_string(getpid()) + "-" +
           std::to_string(++serial) + "-" + name;
}
