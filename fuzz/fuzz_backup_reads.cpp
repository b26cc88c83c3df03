// Feeds arbitrary bytes as an encrypted file of a backup: parts of it are decrypted at offsets the input
// chooses (which must fail or fill exactly what was asked), and the file is served to SQLite, encrypted
// or plain, with a listed size or none, and read as a database.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "store/backup_cipher.h"
#include "store/backup_file_system.h"
#include "store/sqlite_database.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint8_t mode = data[0];
    const uint64_t offset = uint64_t{data[1]} * 7, length = uint64_t{data[2]} * 5;
    const uint64_t listed = uint64_t{data[3]} * 64;
    data += 4;
    size -= 4;
    const int fd = ::memfd_create("fuzz", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        return 0;
    }
    std::vector<uint8_t> key(32, 7);
    auto part = BackupCipher::Decryptor::make(key);
    if (!part) __builtin_trap();
    std::vector<uint8_t> out(length, 0xA5);
    (void)part->read(fd, offset, out);
    if (auto plain = part->plainSize(fd, size); plain && *plain >= size) __builtin_trap();

    auto file = ReadableFile::adopt(fd);
    if (!file) return 0;
    BackupFileSystem::Source source{std::move(*file), std::nullopt, std::nullopt};
    if (mode & 1) source.key = key;
    if (mode & 2) source.size = listed;
    const std::string path = "/quillmark-fuzz/Manifest.db";
    if (auto served = BackupFileSystem::serve(path, std::move(source), std::nullopt)) {
        if (auto db = SQLiteDatabase::openReadOnly(path))
            if (auto statement = (*db)->prepare("SELECT * FROM sqlite_master"))
                (void)(*statement)->forEachRow([] {});
    }
    return 0;
}
