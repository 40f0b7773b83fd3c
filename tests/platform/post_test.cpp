#include "platform/post.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace pathlux::platform {
namespace {

TEST(post_test, one_name_one_identifier_in_the_registered_range_on_every_thread) {
    std::vector<std::uint32_t> ids(8);
    {
        std::vector<std::jthread> threads;
        for (std::uint32_t& id : ids) {
            threads.emplace_back([&id] { id = RegisterWindowMessage("post_test shared"); });
        }
    }
    EXPECT_GE(ids.front(), 0xC000u);
    EXPECT_LE(ids.front(), 0xFFFFu);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), ids.front()), 8);
    EXPECT_NE(RegisterWindowMessage("POST_TEST SHARED"), ids.front()) << "names differ in case";
    EXPECT_EQ(RegisterWindowMessage(""), 0u) << "an empty name fails";
}

}  // namespace
}  // namespace pathlux::platform
