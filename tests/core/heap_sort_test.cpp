#include "core/heap_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace zv::core {
namespace {

int compare_int(const void* a, const void* b)
{
    int x = *static_cast<const int*>(a);
    int y = *static_cast<const int*>(b);
    return (x > y) - (x < y);
}

// An element wider than a machine word, keyed by its first field.
struct Wide {
    int key;
    char tag[13];
};

int compare_wide(const void* a, const void* b)
{
    return compare_int(&static_cast<const Wide*>(a)->key, &static_cast<const Wide*>(b)->key);
}

TEST(HeapSort, MatchesStdSortOnRandomData)
{
    std::mt19937 rng(12345);
    for (size_t n : {0u, 1u, 2u, 3u, 7u, 16u, 100u, 1000u, 4097u}) {
        for (int range : {3, 1000000}) {  // many duplicates, then few
            std::uniform_int_distribution<int> pick(-range, range);
            std::vector<int> values(n);
            for (int& v : values)
                v = pick(rng);
            std::vector<int> expected = values;
            std::sort(expected.begin(), expected.end());
            heap_sort(values.data(), values.size(), sizeof(int), compare_int);
            EXPECT_EQ(values, expected) << "n=" << n << " range=" << range;
        }
    }
}

TEST(HeapSort, SortedReversedAndEqualInputs)
{
    std::vector<int> up(50), down(50), same(50, 7);
    for (int i = 0; i < 50; ++i) {
        up[static_cast<size_t>(i)] = i;
        down[static_cast<size_t>(i)] = 50 - i;
    }
    std::vector<int> up_sorted = up, down_sorted = down;
    std::sort(down_sorted.begin(), down_sorted.end());
    heap_sort(up.data(), up.size(), sizeof(int), compare_int);
    heap_sort(down.data(), down.size(), sizeof(int), compare_int);
    heap_sort(same.data(), same.size(), sizeof(int), compare_int);
    EXPECT_EQ(up, up_sorted);
    EXPECT_EQ(down, down_sorted);
    EXPECT_EQ(same, std::vector<int>(50, 7));
}

TEST(HeapSort, MovesWholeElementsAndLeavesTheRestAlone)
{
    std::mt19937 rng(7);
    std::vector<Wide> items(300);
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].key = static_cast<int>(rng() % 40);
        std::snprintf(items[i].tag, sizeof items[i].tag, "k%d", items[i].key);
    }
    // Sort only the first 299: the last element must not move.
    Wide last = items.back();
    last.key = -1;
    std::strcpy(last.tag, "untouched");
    items.back() = last;
    heap_sort(items.data(), items.size() - 1, sizeof(Wide), compare_wide);
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        EXPECT_EQ(std::string(items[i].tag), "k" + std::to_string(items[i].key));
        if (i > 0) {
            EXPECT_LE(items[i - 1].key, items[i].key);
        }
    }
    EXPECT_EQ(items.back().key, -1);
    EXPECT_STREQ(items.back().tag, "untouched");
}

TEST(HeapSort, TypedSpanVersion)
{
    std::vector<std::string> names = {"pear", "apple", "fig", "apple", "kiwi", ""};
    auto expected = names;
    std::sort(expected.begin(), expected.end());
    heap_sort(std::span(names), [](const std::string& a, const std::string& b) { return a.compare(b); });
    EXPECT_EQ(names, expected);
    // Descending by flipping the compare.
    std::vector<int> v = {3, 1, 2};
    heap_sort(std::span(v), [](int a, int b) { return b - a; });
    EXPECT_EQ(v, (std::vector<int>{3, 2, 1}));
}

}  // namespace
}  // namespace zv::core
