#pragma once

// Names each case of a parameterised table after its row's `name`, for
// INSTANTIATE_TEST_SUITE_P: ::testing::ValuesIn(kRows), CaseName()).

#include <gtest/gtest.h>

#include <string>

struct CaseName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const
    {
        return std::string(info.param.name);
    }
};
