// Checks a table of {got, want} pairs in one go. Each failure names the
// table and the row's index, so a long run of values still says which one
// went wrong.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace zv::test {

template <class T>
void expect_rows(const char* table, std::initializer_list<std::pair<T, T>> rows)
{
    int row = 0;
    for (const auto& [got, want] : rows)
        EXPECT_EQ(got, want) << table << " row " << row++;
}

inline void expect_float_rows(const char* table, std::initializer_list<std::pair<float, float>> rows)
{
    int row = 0;
    for (const auto& [got, want] : rows)
        EXPECT_FLOAT_EQ(got, want) << table << " row " << row++;
}

inline void expect_double_rows(const char* table, std::initializer_list<std::pair<double, double>> rows)
{
    int row = 0;
    for (const auto& [got, want] : rows)
        EXPECT_DOUBLE_EQ(got, want) << table << " row " << row++;
}

}  // namespace zv::test
