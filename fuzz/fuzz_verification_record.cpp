// Feeds arbitrary text to the reader of the verification record a PDF carries in its Keywords, and checks
// that what it reads, written again, reads back as the same record.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "export/pdf/verification_record.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto record = VerificationRecord::decode(text);
    if (!record) return 0;
    // Dates travel as whole milliseconds, so the first writing may round; from then on it must be stable.
    const std::string word = record->encoded();
    auto again = VerificationRecord::decode(word);
    if (!again || again->encoded() != word) __builtin_trap();
    return 0;
}
