#include "layout_test_support.h"

#include "core/history_files.h"

#include <cmath>
#include <fstream>

#include "export/graphics/picture.h"
#include "export/layout/block_row.h"
#include "export/layout/book_cover.h"
#include "export/layout/bubble_block.h"
#include "export/layout/column_row.h"
#include "export/layout/day_heading.h"
#include "export/layout/note_line.h"
#include "export/layout/panel_block.h"
#include "export/layout/photo_bubble.h"
#include "export/layout/picture_block.h"
#include "export/layout/text_block.h"

namespace quillmark::testing {

ExportOptions options(ExportLayout layout, Paper paper, std::string meName) {
    return ExportOptions::make(layout, paper, "America/New_York", "en_US", std::move(meName), Date{1712070000.5},
                               "1.2");
}

Message message(int64_t id, double date, std::optional<Participant> sender, std::string text) {
    Message m;
    m.id = id;
    m.guid = "G" + std::to_string(id);
    m.date = Date{date};
    m.isFromMe = !sender;
    m.sender = std::move(sender);
    m.service = "iMessage";
    m.text = std::move(text);
    m.chatID = 1;
    return m;
}

Conversation oneToOne() {
    Conversation c;
    c.id = "person:anna";
    c.chatIDs = {1};
    c.chatGUIDs = {"iMessage;-;+15551234567"};
    c.participants = {anna};
    c.services = {"iMessage"};
    return c;
}

Conversation group(std::vector<Participant> people, std::optional<std::string> name) {
    Conversation c;
    c.id = "group:chat1";
    c.chatIDs = {1};
    c.chatGUIDs = {"iMessage;+;chat1"};
    c.groupName = std::move(name);
    c.participants = std::move(people);
    c.isGroup = true;
    c.services = {"iMessage"};
    return c;
}

MessageThread thread(Conversation conversation, std::vector<Message> messages) {
    MessageThread t;
    t.conversation = std::move(conversation);
    t.messages = std::move(messages);
    t.conversation.messageCount = static_cast<int64_t>(t.messages.size());
    return t;
}

Attachment attachment(std::string guid, const std::filesystem::path& file, int64_t byteCount) {
    std::string name = file.filename().string();
    bool exists = std::filesystem::exists(file);
    Attachment a(std::move(guid), file.string(), name, std::nullopt, std::nullopt, byteCount, false, exists);
    a.files = HistoryFiles::inFolder(file.parent_path().string());
    return a;
}

std::filesystem::path writeJPEG(const std::filesystem::path& file, int width, int height) {
    graphics::Picture p{width, height, {}, std::nullopt};
    for (int i = 0; i < width * height; ++i) p.rgb.insert(p.rgb.end(), {200, 120, 40});
    auto jpeg = p.encodeJPEG(0.9);
    std::ofstream out(file, std::ios::binary);
    if (jpeg) out.write(reinterpret_cast<const char*>(jpeg->data()), static_cast<std::streamsize>(jpeg->size()));
    return file;
}

std::string plain(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        // Directional isolates have tests of their own; the descriptions leave them out.
        if (text.compare(i, 3, "\u2068") == 0 || text.compare(i, 3, "\u2069") == 0) {
            i += 2;
            continue;
        }
        if (text.compare(i, 3, "\u202f") == 0 || text.compare(i, 3, "\u2009") == 0) {
            out += ' ';
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

namespace {

std::string reactions(const std::vector<std::string>& list) {
    if (list.empty()) return "";
    std::string out = " [";
    for (const auto& r : list) out += r;
    return out + "]";
}

std::string number(double v) {
    if (v == std::floor(v)) return std::to_string(static_cast<long long>(v));
    return std::to_string(v);
}

}  // namespace

std::string describe(const BlockRef& block) {
    const Block* b = block.get();
    if (auto g = dynamic_cast<const Gap*>(b)) return "gap " + number(g->size);
    if (dynamic_cast<const PageBreak*>(b)) return "pagebreak";
    if (auto t = dynamic_cast<const TextBlock*>(b)) {
        const graphics::AttributedText text = t->text();
        bool chapter = t->keep && !text.runs().empty() && text.runs()[0].attributes.font.size == 22;
        return (chapter ? "chapter " : "text ") + plain(text.string());
    }
    if (auto n = dynamic_cast<const NoteLine*>(b)) {
        const char* side = n->side == NoteLine::Side::left ? "left" : n->side == NoteLine::Side::right ? "right" : "center";
        return std::string("note ") + side + (n->bar ? " bar" : "") + " " + plain(n->text.string());
    }
    if (auto u = dynamic_cast<const BubbleBlock*>(b)) {
        return std::string(u->dashed ? "dashed " : "") + "bubble " + (u->fromMe ? "me " : "") + plain(u->text().string()) +
               reactions(u->reactions);
    }
    if (auto p = dynamic_cast<const PhotoBubble*>(b)) {
        return std::string("photo ") + (p->fromMe ? "me " : "") + number(p->size.width) + "x" + number(p->size.height) +
               (p->label ? " " + plain(p->label->string()) : "") + reactions(p->reactions) + (p->crop ? " cropped" : "");
    }
    if (auto g = dynamic_cast<const BlockRow*>(b)) {
        std::string out = "grid" + std::to_string(g->columns);
        for (const auto& cell : g->cells) out += " [" + describe(cell) + "]";
        return out;
    }
    if (auto c = dynamic_cast<const BookCover*>(b)) {
        return "cover " + c->title + " | " + c->subtitle + " | " + plain(c->detail) + (c->photo ? " | photo" : "");
    }
    if (auto d = dynamic_cast<const DayHeading*>(b)) return "day " + d->text.string();
    if (auto p = dynamic_cast<const PanelBlock*>(b)) {
        std::string out = "panel";
        for (const auto& row : p->rows) out += " | " + row.label.string() + ": " + plain(row.value.string());
        return out;
    }
    if (auto p = dynamic_cast<const PictureBlock*>(b)) {
        return "picture " + number(p->size.width) + "x" + number(p->size.height) +
               (p->caption ? " " + plain(p->caption->string()) : "");
    }
    if (auto r = dynamic_cast<const ColumnRow*>(b)) {
        std::string out = "row";
        for (const auto& column : r->left) out += " " + plain(column.text.string()) + " |";
        for (const auto& part : r->parts) out += " {" + describe(part) + "}";
        return out;
    }
    return "?";
}

std::vector<std::string> describe(const BlockList& blocks) {
    std::vector<std::string> out;
    for (const auto& b : blocks) out.push_back(describe(b));
    return out;
}

}  // namespace quillmark::testing
