#include "export/verify/verifier.h"

#include <algorithm>
#include <fstream>
#include <future>
#include <iterator>
#include <span>

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include "conversations/library.h"
#include "export/formats.h"
#include "export/graphics/pdf_document.h"
#include "export/pdf/pdf_renderer.h"
#include "export/verify/page_checks.h"
#include "export/verify/page_prints.h"

namespace quillmark::Verifier {

namespace {

std::string composed(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return text;
    const icu::UnicodeString source = icu::UnicodeString::fromUTF8(text);
    if (nfc->isNormalized(source, status) && U_SUCCESS(status)) return text;
    status = U_ZERO_ERROR;
    const icu::UnicodeString normal = nfc->normalize(source, status);
    if (U_FAILURE(status)) return text;
    std::string out;
    normal.toUTF8String(out);
    return out;
}

// Which pages (from 0) draw exactly as made, by their prints: neither their text nor their picture can
// differ. None when either file's prints can't be taken.
using Unchanged = std::vector<bool>;
Unchanged unchangedPages(std::span<const uint8_t> file, std::span<const uint8_t> made) {
    auto filePrints = std::async(std::launch::async, [&] { return PagePrints::of(file.data(), file.size()); });
    const auto madePrints = PagePrints::of(made.data(), made.size());
    const auto fileOnes = filePrints.get();
    Unchanged unchanged;
    if (!fileOnes || !madePrints) return unchanged;
    for (size_t i = 0; i < std::min(fileOnes->size(), madePrints->size()); ++i)
        unchanged.push_back((*fileOnes)[i] == (*madePrints)[i]);
    return unchanged;
}

bool isUnchanged(const Unchanged& unchanged, int page) {
    return page >= 0 && static_cast<size_t>(page) < unchanged.size() && unchanged[static_cast<size_t>(page)];
}

// The text of every page, as extracted; pages known to be unchanged are left empty.
std::vector<std::string> pageTexts(const graphics::PDFDocument& document, const Unchanged& unchanged) {
    std::vector<std::string> pages;
    for (int i = 0; i < document.pageCount(); ++i) pages.push_back(isUnchanged(unchanged, i) ? "" : document.pageText(i));
    return pages;
}

// The pages (from 1) whose drawings look different; a page that cannot be drawn in either looks different.
std::vector<int64_t> differentLooking(const graphics::PDFDocument& file, const graphics::PDFDocument& made,
                                      const Unchanged& unchanged) {
    std::vector<int64_t> pages;
    const int n = std::max(file.pageCount(), made.pageCount());
    for (int i = 0; i < n; ++i) {
        if (isUnchanged(unchanged, i)) continue;
        auto drawn = std::async(std::launch::async, [&] { return file.pageGrey(i, PageChecks::dpi); });
        const auto again = made.pageGrey(i, PageChecks::dpi);
        const auto first = drawn.get();
        if (!first || !again || PageChecks::looksDifferent(*first, *again)) pages.push_back(int64_t{i} + 1);
    }
    return pages;
}

// The pages whose texts differ, counted from 1; a page one document lacks reads as empty.
std::vector<int64_t> differingPages(const std::vector<std::string>& file, const std::vector<std::string>& rendered) {
    std::vector<int64_t> pages;
    const size_t n = std::max(file.size(), rendered.size());
    static const std::string none;
    for (size_t i = 0; i < n; ++i) {
        const std::string& a = i < file.size() ? file[i] : none;
        const std::string& b = i < rendered.size() ? rendered[i] : none;
        if (a != b) pages.push_back(static_cast<int64_t>(i) + 1);
    }
    return pages;
}

// The whole file, to compare with the new rendering; empty when it cannot be read.
std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string plural(size_t count) { return count == 1 ? "" : "s"; }

}  // namespace

std::string normalized(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    bool pendingBlank = false;
    while (i < length) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c >= 0 && u_isUWhiteSpace(c)) {
            pendingBlank = !out.empty();
            continue;
        }
        if (pendingBlank) out.push_back(' ');
        pendingBlank = false;
        out.append(text.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
    }
    return composed(out);
}

std::string pageList(const std::vector<int64_t>& pages) {
    std::string out;
    const size_t shown = std::min<size_t>(pages.size(), 8);
    for (size_t i = 0; i < shown; ++i) {
        if (i) out += ", ";
        out += std::to_string(pages[i]);
    }
    if (pages.size() > 8) out += " and " + std::to_string(pages.size() - 8) + " more";
    return out;
}

Summary summary(const Outcome& outcome, const std::string& locale) {
    if (const auto* m = std::get_if<Matches>(&outcome)) {
        return {"This export is unchanged",
                "All " + std::to_string(m->pages) + " pages match the messages of this history, word for word: " +
                    Formats::integer(m->messages, locale) + " messages and every attachment. Fingerprint " +
                    Formats::grouped(m->fingerprint.substr(0, 16), 4) + " \u2026",
                true};
    }
    if (const auto* c = std::get_if<PDFChanged>(&outcome)) {
        const std::string page = c->pages.empty() ? std::string("?") : std::to_string(c->pages.front());
        std::string detail;
        switch (c->kind) {
            case PDFChanged::Kind::text: detail = "The text of page " + page + " differs."; break;
            case PDFChanged::Kind::picture:
                detail = "Page " + page +
                         " looks different from the export made from these messages (a mark, a covered area or a "
                         "changed picture).";
                break;
            case PDFChanged::Kind::added:
                detail = "Something was added to the file after it was made (an update or data after its end).";
                break;
            case PDFChanged::Kind::record: detail = "The record inside this PDF was changed: " + c->field + " differs."; break;
        }
        return {"This PDF was changed after it was exported", detail, false};
    }
    if (const auto* d = std::get_if<MessagesDiffer>(&outcome)) {
        const std::string reason =
            d->exported != d->now
                ? " (it has " + Formats::integer(d->exported, locale) + " messages, this history now has " +
                      Formats::integer(d->now, locale) + " in the same dates)."
                : " (a message or an attachment is different).";
        const std::string pages =
            d->pages.empty() ? "" : " Differences on page" + plural(d->pages.size()) + " " + pageList(d->pages) + ".";
        return {"Doesn't match the messages of this history",
                "The messages of this history no longer match this export" + reason + pages +
                    " Messages deleted or edited since the export, or a different history, cause this too.",
                false};
    }
    if (std::holds_alternative<ConversationMissing>(outcome)) {
        return {"This conversation isn't in this history",
                "Verify with the same Messages history the export was made from.", false};
    }
    return {"Not a Quillmark export", "This PDF has no Quillmark verification record, so it can't be checked.", false};
}

Outcome verify(const std::string& path, Library& library, AttachmentMedia& media) {
    auto file = graphics::PDFDocument::open(path);
    if (!file) return NotAnExport{};
    const auto record = VerificationRecord::read(*file);
    if (!record) return NotAnExport{};

    auto conversation = library.conversation(record->chats);
    if (!conversation) return ConversationMissing{};
    // Only the chats that were exported: the conversation may have gained chats since.
    Conversation narrowed = *conversation;
    narrowed.chatIDs.clear();
    narrowed.chatGUIDs.clear();
    const size_t pairs = std::min(conversation->chatIDs.size(), conversation->chatGUIDs.size());
    for (size_t i = 0; i < pairs; ++i) {
        const std::string& guid = conversation->chatGUIDs[i];
        if (std::find(record->chats.begin(), record->chats.end(), guid) == record->chats.end()) continue;
        narrowed.chatIDs.push_back(conversation->chatIDs[i]);
        narrowed.chatGUIDs.push_back(guid);
    }

    auto thread = library.thread(narrowed, DateRange{record->start, record->end}, record->names);
    if (!thread) return ConversationMissing{};
    // What the export printed about where the history came from is the record's to say: the same messages
    // read from another copy still make the same pages.
    thread->origin = record->origin;

    const auto made = PDFRenderer::render(*thread, record->options, media);
    if (!made) return NotAnExport{};
    const PDFRenderer::Output& again = *made;
    auto rendered = graphics::PDFDocument::open(again.data);
    if (!rendered) return NotAnExport{};

    // An export is made the same way every time, byte for byte: a file equal to its new rendering is
    // unchanged without extracting a word or drawing a page.
    const std::vector<uint8_t> bytes = fileBytes(path);
    const bool same = again.data == bytes;
    std::vector<int64_t> pages;
    Unchanged unchanged;
    if (!same) {
        unchanged = unchangedPages(bytes, again.data);
        auto fileTexts = std::async(std::launch::async, [&] { return pageTexts(*file, unchanged); });
        const std::vector<std::string> renderedTexts = pageTexts(*rendered, unchanged);
        pages = differingPages(fileTexts.get(), renderedTexts);
    }
    if (again.fingerprint != record->fingerprint) {
        return MessagesDiffer{record->messages, static_cast<int64_t>(thread->messages.size()), std::move(pages)};
    }
    if (same) return Matches{file->pageCount(), record->messages, record->fingerprint};

    // Another program may re-save a file (its bytes change, what it shows does not); what a reader sees and
    // what the record says must stay.
    if (PageChecks::addedAfterMade(bytes)) return PDFChanged{{}, record->fingerprint, PDFChanged::Kind::added, ""};
    const auto remade = VerificationRecord::read(*rendered);
    if (!remade) return NotAnExport{};
    if (auto field = PageChecks::differingField(*record, *remade)) {
        return PDFChanged{{}, record->fingerprint, PDFChanged::Kind::record, *field};
    }
    if (!pages.empty()) return PDFChanged{std::move(pages), record->fingerprint, PDFChanged::Kind::text, ""};
    std::vector<int64_t> looks = differentLooking(*file, *rendered, unchanged);
    if (!looks.empty()) return PDFChanged{std::move(looks), record->fingerprint, PDFChanged::Kind::picture, ""};
    return Matches{file->pageCount(), record->messages, record->fingerprint};
}

}  // namespace quillmark::Verifier
