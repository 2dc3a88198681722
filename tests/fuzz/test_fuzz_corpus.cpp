// Every input of the fuzz corpus, replayed in an ordinary build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "camera_reply_fuzz.h"

TEST(FuzzCorpus, EveryInputPassesItsChecks) {
    std::size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VEXLARIN_FUZZ_CORPUS)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(file)),
                                             std::istreambuf_iterator<char>());
        EXPECT_EQ(FuzzCameraReplies(data.data(), data.size()), "") << entry.path();
        ++inputs;
    }
    // An empty or misplaced corpus would pass without testing anything.
    EXPECT_GE(inputs, 20u);
}
