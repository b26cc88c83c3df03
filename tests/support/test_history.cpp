#include "support/test_history.h"

#include <cstdio>
#include <cstdlib>

#include <sqlite3.h>

namespace quillmark::testing {

const char* const fullSchema = R"sql(
CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL, country TEXT, service TEXT NOT NULL,
  uncanonicalized_id TEXT, person_centric_id TEXT);
CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, style INTEGER, state INTEGER,
  account_id TEXT, properties BLOB, chat_identifier TEXT, service_name TEXT, room_name TEXT, account_login TEXT,
  is_archived INTEGER DEFAULT 0, last_addressed_handle TEXT, display_name TEXT, group_id TEXT);
CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, text TEXT,
  handle_id INTEGER DEFAULT 0, subject TEXT, attributedBody BLOB, service TEXT, date INTEGER, date_read INTEGER,
  date_delivered INTEGER, is_from_me INTEGER DEFAULT 0, cache_has_attachments INTEGER DEFAULT 0,
  is_audio_message INTEGER DEFAULT 0, item_type INTEGER DEFAULT 0, other_handle INTEGER DEFAULT 0,
  group_title TEXT, group_action_type INTEGER DEFAULT 0, associated_message_guid TEXT,
  associated_message_type INTEGER DEFAULT 0, balloon_bundle_id TEXT, expressive_send_style_id TEXT,
  message_summary_info BLOB, thread_originator_guid TEXT, date_retracted INTEGER DEFAULT 0,
  date_edited INTEGER DEFAULT 0, associated_message_emoji TEXT);
CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, created_date INTEGER,
  filename TEXT, uti TEXT, mime_type TEXT, transfer_name TEXT, total_bytes INTEGER DEFAULT 0,
  is_sticker INTEGER DEFAULT 0, hide_attachment INTEGER DEFAULT 0);
CREATE TABLE chat_handle_join (chat_id INTEGER, handle_id INTEGER, UNIQUE(chat_id, handle_id));
CREATE TABLE chat_message_join (chat_id INTEGER, message_id INTEGER, message_date INTEGER DEFAULT 0,
  PRIMARY KEY (chat_id, message_id));
CREATE TABLE message_attachment_join (message_id INTEGER, attachment_id INTEGER, UNIQUE(message_id, attachment_id));
)sql";

const char* const bareSchema = R"sql(
CREATE TABLE handle (ROWID INTEGER PRIMARY KEY, id TEXT);
CREATE TABLE chat (ROWID INTEGER PRIMARY KEY, guid TEXT);
CREATE TABLE message (ROWID INTEGER PRIMARY KEY, guid TEXT, text TEXT, handle_id INTEGER, is_from_me INTEGER,
  date INTEGER);
CREATE TABLE chat_handle_join (chat_id INTEGER, handle_id INTEGER);
CREATE TABLE chat_message_join (chat_id INTEGER, message_id INTEGER);
)sql";

void makeDatabase(const std::filesystem::path& path, const std::string& script) {
    sqlite3* db = nullptr;
    char* error = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK || sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error)) {
        std::fprintf(stderr, "can't make test database %s: %s\n", path.c_str(), error ? error : sqlite3_errmsg(db));
        std::abort();
    }
    sqlite3_close(db);
}

}  // namespace quillmark::testing
