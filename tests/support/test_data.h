// Files under tests/data: long expected texts and tables that read better as files than as literals.
//
//   const std::string expected = testing::testData("csv/thread.csv");
#pragma once

#include <string>
#include <string_view>

namespace quillmark::testing {

// The bytes of tests/data/relative; the test fails (and the result is empty) when the file cannot be read.
std::string testData(std::string_view relative);

}  // namespace quillmark::testing
