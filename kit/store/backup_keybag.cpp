#include "store/backup_keybag.h"

#include <cstring>

#include "store/backup_cipher.h"

namespace quillmark {

namespace {

uint32_t bigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void put32(BackupKeybag::Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void record(BackupKeybag::Bytes& out, const char (&tag)[5], std::span<const uint8_t> value) {
    out.insert(out.end(), tag, tag + 4);
    put32(out, static_cast<uint32_t>(value.size()));
    out.insert(out.end(), value.begin(), value.end());
}

void record(BackupKeybag::Bytes& out, const char (&tag)[5], uint32_t value) {
    BackupKeybag::Bytes bytes;
    put32(bytes, value);
    record(out, tag, bytes);
}

bool is(const uint8_t* tag, const char* name) { return std::memcmp(tag, name, 4) == 0; }

}  // namespace

std::optional<BackupKeybag> BackupKeybag::decode(std::span<const uint8_t> bytes) {
    BackupKeybag bag;
    int uuids = 0;
    bool haveIterations = false, havePasswordIterations = false;
    ClassKey* current = nullptr;
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) return std::nullopt;
        const uint8_t* tag = bytes.data() + at;
        const uint32_t length = bigEndian32(tag + 4);
        at += 8;
        if (length > bytes.size() - at) return std::nullopt;
        const std::span<const uint8_t> value = bytes.subspan(at, length);
        at += length;
        auto count = [&](uint32_t& out) {
            if (value.size() != 4) return false;
            out = bigEndian32(value.data());
            return true;
        };
        if (is(tag, "UUID")) {
            if (++uuids >= 2) current = &bag.classKeys_.emplace_back();
            continue;
        }
        if (!current) {
            if (is(tag, "SALT")) bag.salt_.assign(value.begin(), value.end());
            else if (is(tag, "DPSL")) bag.dpsl_.assign(value.begin(), value.end());
            else if (is(tag, "ITER") && !(haveIterations = count(bag.iterations_))) return std::nullopt;
            else if (is(tag, "DPIC") && !(havePasswordIterations = count(bag.dpic_))) return std::nullopt;
            continue;
        }
        if (is(tag, "CLAS") && !count(current->protectionClass)) return std::nullopt;
        if (is(tag, "WRAP") && !count(current->wrap)) return std::nullopt;
        if (is(tag, "WPKY")) current->wrappedKey.assign(value.begin(), value.end());
    }
    if (bag.salt_.empty() || bag.dpsl_.empty() || !haveIterations || !havePasswordIterations || bag.iterations_ == 0 ||
        bag.dpic_ == 0)
        return std::nullopt;
    bool openable = false;
    for (const ClassKey& key : bag.classKeys_)
        openable |= (key.wrap & wrappedWithPassword) != 0 && !key.wrappedKey.empty();
    if (!openable) return std::nullopt;
    return bag;
}

std::optional<BackupKeybag::Bytes> BackupKeybag::passwordKey(std::string_view password) const {
    return BackupCipher::passwordKey(password, dpsl_, dpic_, salt_, iterations_);
}

tl::expected<BackupKeybag::ClassKeys, BackupKeybag::Failure> BackupKeybag::unlock(
    std::span<const uint8_t> passwordKey) const {
    ClassKeys keys;
    for (const ClassKey& key : classKeys_) {
        // A key wrapped with the device's own key too cannot be opened away from the device; the files of a
        // backup never need one.
        if (key.wrap != wrappedWithPassword || key.wrappedKey.empty()) continue;
        auto opened = BackupCipher::unwrap(passwordKey, key.wrappedKey);
        if (!opened) return tl::unexpected(Failure::wrongPassword);
        keys[key.protectionClass] = std::move(*opened);
    }
    if (keys.empty()) return tl::unexpected(Failure::noKey);
    return keys;
}

BackupKeybag::Bytes BackupKeybag::encode(std::span<const uint8_t> uuid, std::span<const uint8_t> salt,
                                         uint32_t iterations, std::span<const uint8_t> dpsl, uint32_t dpic,
                                         const std::vector<ClassKey>& classKeys) {
    Bytes out;
    record(out, "VERS", 3);
    record(out, "TYPE", 1);
    record(out, "UUID", uuid);
    record(out, "WRAP", 0);
    record(out, "SALT", salt);
    record(out, "ITER", iterations);
    record(out, "DPWT", 1);
    record(out, "DPIC", dpic);
    record(out, "DPSL", dpsl);
    for (const ClassKey& key : classKeys) {
        record(out, "UUID", uuid);
        record(out, "CLAS", key.protectionClass);
        record(out, "WRAP", key.wrap);
        record(out, "KTYP", 0);
        record(out, "WPKY", key.wrappedKey);
    }
    return out;
}

}  // namespace quillmark
