#include <gtest/gtest.h>

#include "support/support_failure.h"

void SupportFailure(const std::string& what) {
    ADD_FAILURE() << what;
}
