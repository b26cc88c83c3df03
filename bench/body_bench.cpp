// How many message bodies the decoder turns from archive bytes into an AttributedBody per second, on
// one core, over archives written by Messages.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "body/attributed_body.h"
#include "body/summary_info.h"
#include "body/typed_stream.h"

namespace {

using quillmark::AttributedBody;
using Archives = std::vector<std::vector<uint8_t>>;

std::filesystem::path realData() {
    if (const char* env = std::getenv("QUILLMARK_REALDATA_DIR"); env && *env) return env;
    return QUILLMARK_REALDATA_DIR;
}

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The archives of a folder that are message bodies (the damaged and the foreign one are left out).
Archives messageArchives() {
    Archives out;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(realData() / "typedstream/messages", ec)) {
        auto bytes = readFile(entry.path());
        if (AttributedBody::decode(bytes)) out.push_back(std::move(bytes));
    }
    return out;
}

Archives corpusArchives() {
    Archives out;
    std::ifstream in(realData() / "databases/ios13-sms/attributedBody_corpus.jsonl");
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        const std::string hex = nlohmann::json::parse(line)["attributedBody_hex"].get<std::string>();
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        out.push_back(std::move(bytes));
    }
    return out;
}

void decodeAll(benchmark::State& state, const Archives& archives) {
    if (archives.empty()) {
        state.SkipWithError("real Messages data not found (shared/realdata)");
        return;
    }
    size_t bytes = 0;
    for (const auto& a : archives) bytes += a.size();
    for (auto _ : state) {
        for (const auto& archive : archives) {
            auto body = AttributedBody::decode(archive);
            benchmark::DoNotOptimize(body);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(archives.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["archives"] = static_cast<double>(archives.size());
}

void BM_MessageArchives(benchmark::State& state) {
    static const Archives archives = messageArchives();
    decodeAll(state, archives);
}
BENCHMARK(BM_MessageArchives);

void BM_IOS13Corpus(benchmark::State& state) {
    static const Archives archives = corpusArchives();
    decodeAll(state, archives);
}
BENCHMARK(BM_IOS13Corpus);

void BM_SummaryInfo(benchmark::State& state) {
    static const Archives lists = [] {
        Archives out;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(realData() / "summary-info", ec))
            out.push_back(readFile(entry.path()));
        return out;
    }();
    if (lists.empty()) {
        state.SkipWithError("real Messages data not found (shared/realdata)");
        return;
    }
    for (auto _ : state)
        for (const auto& list : lists) benchmark::DoNotOptimize(quillmark::SummaryInfo::decode(list));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lists.size()));
}
BENCHMARK(BM_SummaryInfo);

}  // namespace

namespace {
void BM_ReaderOnly(benchmark::State& state) {
    static const Archives archives = messageArchives();
    for (auto _ : state)
        for (const auto& archive : archives) benchmark::DoNotOptimize(quillmark::TypedStream::decode(archive));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(archives.size()));
}
BENCHMARK(BM_ReaderOnly);
}  // namespace
