// BackupKeybag: the key bag of an encrypted iPhone backup (`BackupKeyBag` in its Manifest.plist).
//
// The bag is a list of records, each a 4-byte tag, a 4-byte big-endian length and that many bytes. The
// header runs up to the second UUID (the first is the bag's own) and holds the salts and round counts of the
// password key; from the second UUID on, each UUID starts one class key: its class (CLAS), how it is wrapped
// (WRAP), and the wrapped key (WPKY). The password opens the class keys that are wrapped with it (WRAP & 2);
// a wrong password fails the unwrap's integrity check.
//
//   auto bag = BackupKeybag::decode(bytes);              // nothing when damaged
//   auto keys = bag->unlock("secret");                   // wrongPassword, or the class keys by class
//   keys->at(3)                                          // the 32-byte key of protection class 3
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

namespace quillmark {

class BackupKeybag {
public:
    using Bytes = std::vector<uint8_t>;
    using ClassKeys = std::map<uint32_t, Bytes>;

    struct ClassKey {
        uint32_t protectionClass = 0;
        uint32_t wrap = 0;
        Bytes wrappedKey;
    };

    // decode: the bag, or nothing when a record runs past the end, a count is not 4 bytes, the header lacks
    // a salt or a round count, or no class key can be opened with a password.
    static std::optional<BackupKeybag> decode(std::span<const uint8_t> bytes);

    enum class Failure { wrongPassword, noKey };

    // passwordKey: the key the password gives (the slow part: every round of both key derivations).
    std::optional<Bytes> passwordKey(std::string_view password) const;
    // unlock: the class keys wrapped with the password key; wrongPassword when one fails its check.
    tl::expected<ClassKeys, Failure> unlock(std::span<const uint8_t> passwordKey) const;

    const Bytes& salt() const { return salt_; }
    uint32_t iterations() const { return iterations_; }
    const Bytes& passwordSalt() const { return dpsl_; }
    uint32_t passwordIterations() const { return dpic_; }
    const std::vector<ClassKey>& classKeys() const { return classKeys_; }

    // The bytes of a bag with these values, as a backup stores it (for the tools that write test backups).
    static Bytes encode(std::span<const uint8_t> uuid, std::span<const uint8_t> salt, uint32_t iterations,
                        std::span<const uint8_t> dpsl, uint32_t dpic, const std::vector<ClassKey>& classKeys);

    static constexpr uint32_t wrappedWithPassword = 2;

private:
    Bytes salt_;
    uint32_t iterations_ = 0;
    Bytes dpsl_;
    uint32_t dpic_ = 0;
    std::vector<ClassKey> classKeys_;
};

}  // namespace quillmark
