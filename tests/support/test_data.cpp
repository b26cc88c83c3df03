#include "support/test_data.h"

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace quillmark::testing {

std::string testData(std::string_view relative) {
    const std::string path = std::string(QUILLMARK_TEST_DATA_DIR) + "/" + std::string(relative);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        ADD_FAILURE() << "test data missing: " << path;
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace quillmark::testing
