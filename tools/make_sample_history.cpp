// make-sample-history OUT [--seed N] [--conversations N] [--messages N]
//
// Writes a synthetic Messages history into the data folder OUT (Messages/chat.db, its attachments, and
// AddressBook/AddressBook-v22.abcddb) for the demo, the tests and the benchmarks. Without counts it writes
// the showcase; with them it adds plain chats until the totals are reached.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "sample_history/sample_history.h"

namespace {

constexpr const char* usage =
    "usage: make-sample-history OUT [--seed N] [--conversations N] [--messages N]\n"
    "  Writes a sample Messages history into the folder OUT: Messages/chat.db with its attachments and\n"
    "  AddressBook/AddressBook-v22.abcddb. Without counts, the showcase of %lld conversations and %lld\n"
    "  messages; the counts are totals including it (reactions are not counted as messages). With\n"
    "  only --conversations, each added conversation gets 20 messages; with only --messages, one\n"
    "  conversation is added for every 200 added messages.\n";

void printUsage(FILE* to) {
    std::fprintf(to, usage, static_cast<long long>(quillmark::SampleHistory::showcaseConversationCount()),
                 static_cast<long long>(quillmark::SampleHistory::showcaseMessageCount()));
}

template <typename T>
bool parse(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
    quillmark::SampleHistory::Options options;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            printUsage(stdout);
            return 0;
        }
        if (argument == "--seed" || argument == "--conversations" || argument == "--messages") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "make-sample-history: %s needs a number\n", argv[i]);
                return 2;
            }
            const std::string_view number = argv[++i];
            bool good = false;
            if (argument == "--seed") {
                good = parse(number, options.seed);
            } else {
                int64_t count = 0;
                good = parse(number, count) && count >= 0;
                (argument == "--conversations" ? options.conversations : options.messages) = count;
            }
            if (!good) {
                std::fprintf(stderr, "make-sample-history: %s takes a whole number, not \"%s\"\n", argv[i - 1], argv[i]);
                return 2;
            }
            continue;
        }
        if (argument.starts_with("-") || !out.empty()) {
            std::fprintf(stderr, "make-sample-history: unexpected argument \"%s\"\n", argv[i]);
            printUsage(stderr);
            return 2;
        }
        out = argument;
    }
    if (out.empty()) {
        printUsage(stderr);
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    auto truth = quillmark::SampleHistory::write(out, options);
    if (!truth) {
        std::fprintf(stderr, "make-sample-history: %s\n", truth.error().c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Wrote %zu conversations, %lld messages, %lld reactions and %lld attachments to %s in %.1f s\n",
                truth->conversations.size(), static_cast<long long>(truth->messageCount),
                static_cast<long long>(truth->reactionCount), static_cast<long long>(truth->attachmentCount), out.c_str(),
                seconds);
    return 0;
}
