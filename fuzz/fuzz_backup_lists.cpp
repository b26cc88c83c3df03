// Feeds arbitrary bytes to the decoders of an iPhone backup's stored data: the key bag (then unlocked with a
// fixed key, which must fail or give 32-byte keys) and the keyed archive of a file's properties.
#include <cstddef>
#include <cstdint>
#include <span>

#include "store/backup_keybag.h"
#include "store/iphone_backup.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (auto bag = BackupKeybag::decode(bytes)) {
        const uint8_t key[32] = {};
        if (auto keys = bag->unlock(key))
            for (const auto& [protectionClass, classKey] : *keys)
                if (classKey.empty()) __builtin_trap();
    }
    if (auto properties = IPhoneBackup::fileProperties(bytes))
        if (properties->encryptionKey && properties->encryptionKey->size() > size) __builtin_trap();
    return 0;
}
