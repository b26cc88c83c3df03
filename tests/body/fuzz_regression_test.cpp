// Inputs that once brought the decoders down, each named after the fault it found. The inputs the
// fuzzer found are kept in fuzz/regressions/ as well; these are their smallest hand-made forms.
#include <gtest/gtest.h>

#include "body/summary_info.h"
#include "body_test_support.h"

namespace quillmark {
namespace {

// A binary list {"ec": {<key>: []}} with the given key object (marker and bytes).
std::vector<uint8_t> editHistoryWithKey(std::initializer_list<int> key) {
    std::vector<uint8_t> out;
    testing::append(out, "bplist00");
    std::vector<size_t> offsets;
    auto object = [&](std::initializer_list<int> bytes) {
        offsets.push_back(out.size());
        testing::append(out, bytes);
    };
    object({0xd1, 0x01, 0x02});  // 0: {1: 2}
    object({0x52, 'e', 'c'});    // 1: "ec"
    object({0xd1, 0x03, 0x04});  // 2: {3: 4}
    object(key);                 // 3: the part key
    object({0xa0});              // 4: []
    const size_t table = out.size();
    for (size_t o : offsets) out.push_back(static_cast<uint8_t>(o));
    testing::append(out, {0, 0, 0, 0, 0, 0, 1, 1});
    testing::append(out, {0, 0, 0, 0, 0, 0, 0, static_cast<int>(offsets.size())});
    testing::append(out, {0, 0, 0, 0, 0, 0, 0, 0});
    testing::append(out, {0, 0, 0, 0, 0, 0, 0, static_cast<int>(table)});
    return out;
}

// libplist asserts (and so aborts the process) when a dictionary key it hands out holds U+0000 that was
// written as UTF-16; an 8-bit key it cuts at the NUL itself.
TEST(SummaryInfoFuzzRegression, partKeyHoldingNULAbortsLibplist) {
    for (auto key : {editHistoryWithKey({0x51, '1'}), editHistoryWithKey({0x52, '1', 0x00}),
                     editHistoryWithKey({0x61, 0x00, '1'})}) {
        const auto sound = SummaryInfo::decode(key);
        ASSERT_TRUE(sound);
        EXPECT_EQ(*sound, SummaryInfo{});
    }
    EXPECT_FALSE(SummaryInfo::decode(editHistoryWithKey({0x62, 0x00, '1', 0x00, 0x00})));
}

}  // namespace
}  // namespace quillmark
