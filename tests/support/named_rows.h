// Test support: tables whose rows each carry a name, run as one test per row under that name.
#pragma once

#include <concepts>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

// A row's name comes first; the row prints as it in test listings and failure messages.
struct NamedRow {
    const char* name;
};
template <class Row>
    requires std::derived_from<Row, NamedRow>
void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

#define INSTANTIATE_NAMED_ROWS(prefix, suite, ...) \
    INSTANTIATE_TEST_SUITE_P(prefix, suite, __VA_ARGS__, [](const auto& p) { return std::string(p.param.name); })
