#include "export/fingerprint.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "core/sha256.h"
#include "export/canonical_json.h"

namespace quillmark::Fingerprint {

namespace {

// The hash of one attachment as it enters the canonical text.
std::string attachmentHash(const Attachment& attachment, AttachmentMedia& media) {
    if (!attachment.isAvailable || !attachment.path) return {};
    return media.sha256(attachment).value_or(std::string());
}

void writeMessage(std::string& out, const Message& m, AttachmentMedia& media,
                  std::unordered_map<std::string, std::string>& hashes) {
    CanonicalJSONWriter w(out);
    w.beginObject();
    if (!m.attachments.empty()) {
        w.key("a");
        w.beginArray();
        for (const Attachment& attachment : m.attachments) {
            std::string hash = attachmentHash(attachment, media);
            w.beginObject();
            w.key("b");
            w.integer(attachment.byteCount);
            w.key("h");
            w.string(hash);
            w.key("n");
            w.string(attachment.name);
            w.endObject();
            hashes[attachment.guid] = std::move(hash);
        }
        w.endArray();
    }
    w.key("d");
    w.integer(m.date.milliseconds());
    if (m.editedAt) {
        w.key("e");
        w.integer(m.editedAt->milliseconds());
        // The earlier texts only; their dates stay out of the fingerprint.
        w.key("eh");
        w.beginArray();
        for (const EditVersion& version : m.editHistory) w.string(version.text);
        w.endArray();
    }
    w.key("f");
    w.integer(m.isFromMe ? 1 : 0);
    w.key("g");
    w.string(m.guid);
    if (m.sender) {
        w.key("h");
        w.string(m.sender->address);
    }
    if (m.subject) {
        w.key("j");
        w.string(*m.subject);
    }
    if (!m.reactions.empty()) {
        w.key("r");
        w.beginArray();
        for (const Reaction& reaction : m.reactions) {
            w.beginArray();
            w.string(reaction.emoji);
            w.string(reaction.isFromMe ? std::string_view("me")
                                       : reaction.sender ? std::string_view(reaction.sender->address) : std::string_view());
            w.integer(reaction.date.milliseconds());
            w.endArray();
        }
        w.endArray();
    }
    if (m.replyToGUID) {
        w.key("rt");
        w.string(*m.replyToGUID);
    }
    w.key("s");
    w.string(m.service);
    w.key("t");
    w.string(m.text);
    if (m.unsentAt) {
        w.key("u");
        w.integer(m.unsentAt->milliseconds());
    }
    if (m.event) {
        w.key("v");
        w.string(*m.event);
    }
    w.endObject();
    out += '\n';
}

// Writes the canonical text piece by piece into `sink`, which takes a std::string_view. The pieces are
// about 64 KiB, so neither the hash nor the text of a long thread sees a call per message.
template <typename Sink>
void writeCanonicalText(const MessageThread& thread, AttachmentMedia& media,
                        std::unordered_map<std::string, std::string>& hashes, Sink&& sink) {
    std::vector<std::string> guids = thread.conversation.chatGUIDs;
    std::sort(guids.begin(), guids.end());
    std::string buffer = "quillmark-fingerprint v1\nchats ";
    for (size_t i = 0; i < guids.size(); ++i) {
        if (i > 0) buffer += ',';
        buffer += guids[i];
    }
    buffer += '\n';
    constexpr size_t flushAt = 64 * 1024;
    buffer.reserve(flushAt + 4096);
    for (const Message& message : thread.messages) {
        writeMessage(buffer, message, media, hashes);
        if (buffer.size() >= flushAt) {
            sink(std::string_view(buffer));
            buffer.clear();
        }
    }
    sink(std::string_view(buffer));
}

}  // namespace

Result compute(const MessageThread& thread, AttachmentMedia& media) {
    Result result;
    SHA256::Hasher hasher;
    writeCanonicalText(thread, media, result.attachmentHashes,
                       [&](std::string_view piece) { hasher.update(piece); });
    result.hex = hasher.finish();
    return result;
}

std::string canonicalText(const MessageThread& thread, AttachmentMedia& media) {
    std::string text;
    std::unordered_map<std::string, std::string> hashes;
    writeCanonicalText(thread, media, hashes, [&](std::string_view piece) { text += piece; });
    return text;
}

std::optional<std::string> file(const std::string& path) { return SHA256::ofPath(path); }

}  // namespace quillmark::Fingerprint
