// How the process helpers report what went wrong in setting up: a test fails, the benchmark
// stops. Each program links one definition (gtest_failure.cpp, or the benchmark's own).
#pragma once

#include <string>

void SupportFailure(const std::string& what);
