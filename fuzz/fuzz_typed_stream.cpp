// Feeds arbitrary bytes to the typedstream reader and to everything that walks what it returns: the
// attributed body, its derived values, and the plain value of the root object.
#include <cstddef>
#include <cstdint>
#include <span>

#include "body/attributed_body.h"
#include "body/plain_value.h"
#include "body/typed_stream.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    auto archive = TypedStream::decode(bytes);
    if (!archive) {
        (void)archive.error().description();
        return 0;
    }
    auto root = archive->rootObject();
    if (!root) return 0;
    (void)plainValue(**root);
    if (auto body = AttributedBody::fromRoot(**root)) {
        (void)body->plainText();
        (void)body->attachmentGUIDs();
    }
    (void)AttributedBody::decode(bytes);
    return 0;
}
