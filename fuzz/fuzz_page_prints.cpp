// Feeds arbitrary bytes as a PDF to the prints the verifier takes of each page: whatever the file, taking
// them ends without a crash, and taking them twice gives the same prints.
#include <cstddef>
#include <cstdint>

#include "export/verify/page_prints.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto prints = PagePrints::of(data, size);
    if (prints != PagePrints::of(data, size)) __builtin_trap();
    return 0;
}
