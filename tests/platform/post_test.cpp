#include "platform/post.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace pathlux::platform {
namespace {

TEST(post_test, same_name_same_identifier_in_the_registered_range) {
    const std::uint32_t first = RegisterWindowMessage("post_test first");
    EXPECT_GE(first, 0xC000u);
    EXPECT_LE(first, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessage("post_test first"), first);
    EXPECT_NE(RegisterWindowMessage("POST_TEST FIRST"), first) << "names differ in case";
    EXPECT_EQ(RegisterWindowMessage(""), 0u) << "an empty name fails";
}

TEST(post_test, threads_registering_one_name_agree) {
    std::vector<std::uint32_t> ids(8);
    std::vector<std::thread> threads;
    for (std::uint32_t& id : ids) {
        threads.emplace_back([&id] { id = RegisterWindowMessage("post_test shared"); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_NE(ids.front(), 0u);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), ids.front()), 8);
}

}  // namespace
}  // namespace pathlux::platform
