#pragma once

// Names each case of a parameterised table after its row's `name`, for
// INSTANTIATE_TEST_SUITE_P: ::testing::ValuesIn(kRows), CaseName()).

#include <gtest/gtest.h>

#include <ostream>
#include <string>

struct CaseName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const
    {
        return std::string(info.param.name);
    }
};

// Prints a row as its name wherever a check shows it. A file brings it in
// beside its rows with `using ::operator<<;`, where GoogleTest looks for it.
template <typename Row, typename = decltype(Row::name)>
std::ostream& operator<<(std::ostream& out, const Row& row)
{
    return out << row.name;
}
