#include "platform/post.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace pathlux::platform {
namespace {

TEST(post_test, registers_names_once_in_the_registered_range) {
    const std::uint32_t first = RegisterWindowMessage("post_test first");
    const std::uint32_t second = RegisterWindowMessage("post_test second");
    struct Row {
        const char* legend;
        std::uint32_t got;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {"same name, same identifier", RegisterWindowMessage("post_test first"), first},
        {"names differ in case only", RegisterWindowMessage("POST_TEST FIRST") == first, false},
        {"other name, other identifier", second == first, false},
        {"empty name fails", RegisterWindowMessage(""), 0},
        {"first in range", first >= 0xC000 && first <= 0xFFFF, true},
        {"second in range", second >= 0xC000 && second <= 0xFFFF, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(row.got, row.expected);
    }
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
    for (std::uint32_t id : ids) {
        EXPECT_EQ(id, ids.front());
    }
    EXPECT_NE(ids.front(), 0u);
}

}  // namespace
}  // namespace pathlux::platform
