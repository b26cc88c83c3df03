// Real Messages data beside the checkout (../shared/realdata), or the folder named by
// QUILLMARK_REALDATA_DIR. Tests that need it call QUILLMARK_REQUIRE_REALDATA(), which skips when absent.
#pragma once

#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

namespace quillmark::testing {

std::optional<std::filesystem::path> realData();

}  // namespace quillmark::testing

#define QUILLMARK_REQUIRE_REALDATA(var)                                              \
    const auto var##_opt = ::quillmark::testing::realData();                         \
    if (!var##_opt) {                                                                \
        GTEST_SKIP() << "real Messages data not found (shared/realdata)";           \
    }                                                                                \
    const std::filesystem::path var = *var##_opt
