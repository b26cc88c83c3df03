// bench_backup_key: the key derivation of an encrypted iPhone backup with the round counts phones use
// (DPIC 10,000,000 rounds of PBKDF2-HMAC-SHA256, then ITER 10,000 of PBKDF2-HMAC-SHA1): the part of opening
// an encrypted backup that no reader can shorten. bench/backup_bench.sh sets it against the whole opening.
#include <benchmark/benchmark.h>

#include <vector>

#include "store/backup_cipher.h"

namespace {

void BM_BackupPasswordKey(benchmark::State& state) {
    const std::vector<uint8_t> salt(20, 1), dpsl(20, 2);
    for (auto _ : state) {
        auto key = quillmark::BackupCipher::passwordKey("correct horse battery staple", dpsl,
                                                        static_cast<uint32_t>(state.range(0)), salt,
                                                        static_cast<uint32_t>(state.range(1)));
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_BackupPasswordKey)->Args({10'000'000, 10'000})->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
