// libFuzzer's entry: any check that fails is a crash the fuzzer keeps.
#include <cstdio>
#include <cstdlib>

#include "camera_reply_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string violation = FuzzCameraReplies(data, size);
    if (!violation.empty()) {
        std::fprintf(stderr, "camera reply fuzz: %s\n", violation.c_str());
        std::abort();
    }
    return 0;
}
