// layout_bench: a book-layout PDF of one conversation with a photo in every message, timed by phase: the
// fingerprint (hashing every file), the pictures and the layout, and the pages. The photos are the files
// given on the command line, used in turn; the messages alternate between the two sides.
//
//   layout_bench [--threads N] [--layout book|record] PHOTO...
//   layout_bench --text BYTES [--layout book|record] [--pdf OUT.pdf]
//
// Prints the time of each phase, the time per photo and the pictures' share of the whole render, the
// pages, and the size of the PDF. With --text the conversation is one message of about BYTES bytes of
// text instead: lines of a pasted log, a few of them longer than a line of the page.
#include <sys/stat.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/history_files.h"
#include "core/heap.h"
#include "export/pdf/pdf_renderer.h"

using namespace quillmark;

int main(int argc, char** argv) {
    Heap::setUpAtStart(argv);  // as the programs start
    int threads = 2;
    ExportLayout layout = ExportLayout::book;
    std::vector<std::string> photos;
    size_t textBytes = 0;
    std::string saveTo;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--threads" && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else if (arg == "--layout" && i + 1 < argc) {
            layout = ExportLayout::fromRaw(argv[++i]).value_or(ExportLayout::book);
        } else if (arg == "--pdf" && i + 1 < argc) {
            saveTo = argv[++i];
        } else if (arg == "--text" && i + 1 < argc) {
            textBytes = static_cast<size_t>(std::atoll(argv[++i]));
        } else {
            photos.push_back(arg);
        }
    }
    if (photos.empty() && textBytes == 0) {
        std::fprintf(stderr, "usage: layout_bench [--threads N] [--layout book|record] PHOTO...\n"
                             "       layout_bench --text BYTES [--layout book|record]\n");
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
        const std::filesystem::path file = std::filesystem::absolute(photos[i]);
        auto size = static_cast<int64_t>(std::filesystem::file_size(file));
        m.attachments.push_back(Attachment("A" + std::to_string(i + 1), file.string(), file.filename().string(),
                                           std::nullopt, std::nullopt, size, false, true));
        // The photos' folder stands for the history: files are read only beneath a history's folder.
        m.attachments.back().files = HistoryFiles::inFolder(file.parent_path().string());
        thread.messages.push_back(std::move(m));
    }

    if (textBytes > 0) {
        Message m;
        m.id = 1;
        m.guid = "G1";
        m.date = Date{1709683509.0};
        m.sender = thread.conversation.participants.front();
        m.service = "iMessage";
        m.chatID = 1;
        for (size_t line = 1; m.text.size() < textBytes; ++line) {
            m.text += "2024-03-05 18:04:" + std::to_string(10 + line % 50) + " worker[" + std::to_string(line % 97) +
                      "] request " + std::to_string(line) + " finished in " + std::to_string(line % 1000) + " ms";
            if (line % 9 == 0) m.text += "; response body: {\"items\": [1, 2, 3], \"next\": null, \"cursor\": \"c" +
                                        std::to_string(line * 7919) + "\", \"note\": \"retry after the cache warms\"}";
            m.text += '\n';
        }
        thread.messages.push_back(std::move(m));
    }

    ExportOptions options = ExportOptions::make(layout, Paper::letter, "America/New_York", "en_US", "Ben",
                                                Date{1712070000}, "bench");
    AttachmentMedia media;
    using Clock = std::chrono::steady_clock;
    Clock::time_point start = Clock::now(), hashed, laidOut;
    auto out = *PDFRenderer::render(
        thread, options, media,
        [&](double p, int) {
            if (p == 0.1) hashed = Clock::now();
            if (p == 0.5 && laidOut == Clock::time_point()) laidOut = Clock::now();
            return true;
        },
        threads);
    Clock::time_point end = Clock::now();
    auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    double total = seconds(end - start), pictures = seconds(laidOut - hashed);
    if (!saveTo.empty()) {
        if (FILE* file = std::fopen(saveTo.c_str(), "wb")) {
            std::fwrite(out.data.data(), 1, out.data.size(), file);
            std::fclose(file);
        }
    }
    if (textBytes > 0) {
        std::printf("one message of %zu bytes, %s layout: %.2f s, %d pages, %.1f MB\n",
                    thread.messages.front().text.size(), std::string(options.layout.rawValue()).c_str(), total,
                    out.pages, static_cast<double>(out.data.size()) / 1e6);
        return out.data.empty() ? 1 : 0;
    }
    // A photo that is not drawn (a file refused, a decoder failing) would make the render look fast.
    const std::string_view pdf(reinterpret_cast<const char*>(out.data.data()), out.data.size());
    size_t drawn = 0;
    for (size_t at = pdf.find("/Subtype /Image"); at != std::string_view::npos; at = pdf.find("/Subtype /Image", at + 1)) {
        // Photos, not the emoji of a placeholder: an image at least 256 pixels wide.
        const size_t width = pdf.substr(at, 200).find("/Width ");
        int pixels = 0;
        if (width != std::string_view::npos) {
            const std::string_view digits = pdf.substr(at + width + 7, 12);
            std::from_chars(digits.data(), digits.data() + digits.size(), pixels);
        }
        if (pixels >= 256) ++drawn;
    }
    // The same file under several names is one picture in the PDF.
    std::set<std::pair<dev_t, ino_t>> files;
    for (const std::string& photo : photos) {
        struct stat s {};
        if (::stat(photo.c_str(), &s) == 0) files.emplace(s.st_dev, s.st_ino);
    }
    if (drawn < files.size()) {
        std::fprintf(stderr, "layout_bench: only %zu of %zu different photos were drawn\n", drawn, files.size());
        return 1;
    }
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
