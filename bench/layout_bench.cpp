// layout_bench: a book-layout PDF of one conversation with a photo in every message, timed by phase: the
// fingerprint (hashing every file), the pictures and the layout, and the pages. The photos are the files
// given on the command line, used in turn; the messages alternate between the two sides.
//
//   layout_bench [--threads N] [--layout book|record] PHOTO...
//
// Prints the time of each phase, the time per photo and the pictures' share of the whole render, the
// pages, and the size of the PDF.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "export/pdf/pdf_renderer.h"

using namespace quillmark;

int main(int argc, char** argv) {
    int threads = 2;
    ExportLayout layout = ExportLayout::book;
    std::vector<std::string> photos;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--threads" && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else if (arg == "--layout" && i + 1 < argc) {
            layout = ExportLayout::fromRaw(argv[++i]).value_or(ExportLayout::book);
        } else {
            photos.push_back(arg);
        }
    }
    if (photos.empty()) {
        std::fprintf(stderr, "usage: layout_bench [--threads N] [--layout book|record] PHOTO...\n");
        return 2;
    }

    MessageThread thread;
    thread.conversation.id = "person:bench";
    thread.conversation.chatIDs = {1};
    thread.conversation.chatGUIDs = {"iMessage;-;+15551234567"};
    thread.conversation.participants = {Participant{"+15551234567", "Anna Berg"}};
    for (size_t i = 0; i < photos.size(); ++i) {
        Message m;
        m.id = static_cast<int64_t>(i + 1);
        m.guid = "G" + std::to_string(i + 1);
        m.date = Date{1709683509.0 + static_cast<double>(i) * 5400};
        m.isFromMe = i % 2 == 1;
        if (!m.isFromMe) m.sender = thread.conversation.participants.front();
        m.service = "iMessage";
        m.chatID = 1;
        std::filesystem::path file(photos[i]);
        auto size = static_cast<int64_t>(std::filesystem::file_size(file));
        m.attachments.push_back(Attachment("A" + std::to_string(i + 1), file.string(), file.filename().string(),
                                           std::nullopt, std::nullopt, size, false, true));
        thread.messages.push_back(std::move(m));
    }

    ExportOptions options = ExportOptions::make(layout, Paper::letter, "America/New_York", "en_US", "Ben",
                                                Date{1712070000}, "bench");
    AttachmentMedia media;
    using Clock = std::chrono::steady_clock;
    Clock::time_point start = Clock::now(), hashed, laidOut;
    auto out = *PDFRenderer::render(
        thread, options, media,
        [&](double p) {
            if (p == 0.1) hashed = Clock::now();
            if (p == 0.5) laidOut = Clock::now();
        },
        threads);
    Clock::time_point end = Clock::now();
    auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    double total = seconds(end - start), pictures = seconds(laidOut - hashed);
    std::printf("%zu photos, %d picture threads, %s layout\n", photos.size(), threads,
                std::string(options.layout.rawValue()).c_str());
    std::printf("  fingerprint (hashing)   %7.2f s\n", seconds(hashed - start));
    std::printf("  pictures and layout     %7.2f s  = %.1f ms per photo, %.0f %% of the render\n", pictures,
                pictures * 1000 / static_cast<double>(photos.size()), pictures / total * 100);
    std::printf("  pages                   %7.2f s\n", seconds(end - laidOut));
    std::printf("  total                   %7.2f s, %d pages, %.1f MB\n", total, out.pages,
                static_cast<double>(out.data.size()) / 1e6);
    return out.data.empty() ? 1 : 0;
}
