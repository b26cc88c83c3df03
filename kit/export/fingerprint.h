// Fingerprint: one SHA-256 over everything an export says about its messages.
//
// The hashed bytes (the canonical text) are a header naming the chats, then one line of canonical JSON
// per message with the SHA-256 of each attachment file inside it. Any change to a message's text, time,
// sender, service, subject, edits, unsending, reply target, reactions, attachments' names and sizes, or to
// an attached file's bytes, changes the fingerprint; nothing else does (read and delivery times, links,
// effects and the like stay out). Anyone with the same history can recompute it.
//
//   quillmark-fingerprint v1
//   chats iMessage;-;+15551234567
//   {"a":[{"b":2048,"h":"","n":"photo.jpg"}],"d":1712345678123,"f":0,"g":"G1","h":"+15551234567",...}
//
//   auto result = Fingerprint::compute(thread, AttachmentMedia::shared());
//   result.hex                          // 64 lowercase hex digits
//   result.attachmentHashes.at(guid)    // the file's SHA-256, or "" when it is not on this computer
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "conversations/message_thread.h"
#include "export/attachment_media.h"

namespace quillmark::Fingerprint {

struct Result {
    std::string hex;  // the fingerprint: 64 lowercase hexadecimal digits
    // For every attachment of every message, by GUID: its file's SHA-256, or "" when the file is not
    // available or cannot be read. A later attachment with the same GUID overwrites an earlier one.
    std::unordered_map<std::string, std::string> attachmentHashes;

    friend bool operator==(const Result&, const Result&) = default;
};

// compute: the fingerprint of the thread, hashing the attachment files through `media` (whose cache
// makes a repeated export cheap). A missing or unreadable file never fails it: its hash is "".
Result compute(const MessageThread& thread, AttachmentMedia& media);

// canonicalText: exactly the bytes compute hashes.
// The header is "quillmark-fingerprint v1\nchats " + the chat GUIDs sorted by byte and joined by "," +
// "\n". Then one line per message, in thread order: a JSON object written by CanonicalJSONWriter with the
// members (absent ones left out) "a" attachments [{"b": byte count, "h": SHA-256 or "", "n": name}],
// "d" date, "e" edited at, "eh" texts of the earlier versions (present exactly when "e" is), "f" 1 when
// from the owner else 0, "g" GUID, "h" sender's address, "j" subject, "r" reactions [[emoji, "me" or
// the sender's address or "", date]], "rt" GUID replied to, "s" service, "t" text, "u" unsent at,
// "v" group event. Times are integer milliseconds since 1970, rounded half away from zero.
std::string canonicalText(const MessageThread& thread, AttachmentMedia& media);

// file: the SHA-256 of a file's bytes (through the shared AttachmentMedia and its cache), nothing when it
// cannot be read. Shown for an exported file so that it can be checked later.
std::optional<std::string> file(const std::string& path);

}  // namespace quillmark::Fingerprint
