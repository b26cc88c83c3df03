#include "sample_history/chat_database.h"

namespace quillmark::sample {

namespace {

// Our own tables, shaped after what Messages writes: every column the reader asks for, and beside them
// a selection of the bookkeeping columns a real history carries, so that the reader meets a wide table
// and columns it must leave alone.
constexpr const char* schema = R"SQL(
CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));
CREATE TABLE handle (
  ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, country TEXT, service TEXT NOT NULL,
  uncanonicalized_id TEXT, person_centric_id TEXT, UNIQUE (id, service));
CREATE TABLE chat (
  ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, style INTEGER, state INTEGER,
  account_id TEXT, properties BLOB, chat_identifier TEXT, service_name TEXT, room_name TEXT,
  account_login TEXT, is_archived INTEGER DEFAULT 0, last_addressed_handle TEXT, display_name TEXT,
  group_id TEXT, is_filtered INTEGER DEFAULT 0, successful_query INTEGER,
  last_read_message_timestamp INTEGER DEFAULT 0, is_recovered INTEGER DEFAULT 0);
CREATE TABLE message (
  ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, text TEXT, replace INTEGER DEFAULT 0,
  service_center TEXT, handle_id INTEGER DEFAULT 0, subject TEXT, country TEXT, attributedBody BLOB,
  version INTEGER DEFAULT 0, type INTEGER DEFAULT 0, service TEXT, account TEXT, account_guid TEXT,
  error INTEGER DEFAULT 0, date INTEGER, date_read INTEGER, date_delivered INTEGER,
  is_delivered INTEGER DEFAULT 0, is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0,
  is_from_me INTEGER DEFAULT 0, is_empty INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0,
  is_system_message INTEGER DEFAULT 0, is_sent INTEGER DEFAULT 0, cache_has_attachments INTEGER DEFAULT 0,
  cache_roomnames TEXT, is_audio_message INTEGER DEFAULT 0, is_played INTEGER DEFAULT 0, date_played INTEGER,
  item_type INTEGER DEFAULT 0, other_handle INTEGER DEFAULT 0, group_title TEXT,
  group_action_type INTEGER DEFAULT 0, share_status INTEGER DEFAULT 0, message_action_type INTEGER DEFAULT 0,
  associated_message_guid TEXT, associated_message_type INTEGER DEFAULT 0, balloon_bundle_id TEXT,
  payload_data BLOB, expressive_send_style_id TEXT, associated_message_range_location INTEGER DEFAULT 0,
  associated_message_range_length INTEGER DEFAULT 0, message_summary_info BLOB, ck_sync_state INTEGER DEFAULT 0,
  destination_caller_id TEXT, reply_to_guid TEXT, thread_originator_guid TEXT, thread_originator_part TEXT,
  date_retracted INTEGER DEFAULT 0, date_edited INTEGER DEFAULT 0, part_count INTEGER,
  associated_message_emoji TEXT DEFAULT NULL, schedule_type INTEGER DEFAULT 0);
CREATE TABLE attachment (
  ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, created_date INTEGER DEFAULT 0,
  start_date INTEGER DEFAULT 0, filename TEXT, uti TEXT, mime_type TEXT, transfer_state INTEGER DEFAULT 0,
  is_outgoing INTEGER DEFAULT 0, user_info BLOB, transfer_name TEXT, total_bytes INTEGER DEFAULT 0,
  is_sticker INTEGER DEFAULT 0, sticker_user_info BLOB, hide_attachment INTEGER DEFAULT 0,
  ck_sync_state INTEGER DEFAULT 0, original_guid TEXT UNIQUE NOT NULL, is_commsafety_sensitive INTEGER DEFAULT 0);
CREATE TABLE chat_handle_join (
  chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE,
  handle_id INTEGER REFERENCES handle (ROWID) ON DELETE CASCADE, UNIQUE(chat_id, handle_id));
CREATE TABLE chat_message_join (
  chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE,
  message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, message_date INTEGER DEFAULT 0,
  PRIMARY KEY (chat_id, message_id));
CREATE TABLE message_attachment_join (
  message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE,
  attachment_id INTEGER REFERENCES attachment (ROWID) ON DELETE CASCADE, UNIQUE(message_id, attachment_id));
CREATE TABLE deleted_messages (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid TEXT NOT NULL);
CREATE TABLE kvtable (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, key TEXT UNIQUE NOT NULL, value BLOB NOT NULL);
INSERT INTO _SqliteDatabaseProperties VALUES ('_ClientVersion', '18026'), ('counter_in_all', '0'),
  ('counter_out_all', '0');
)SQL";

// The user's one messaging account, as chats and messages name it.
constexpr std::string_view accountGUID = "7F2C5C48-3A3B-4E0F-9C55-2B1B0C1D9E01";

// Built after the rows are in: one pass over sorted keys instead of a million scattered updates. These
// are the indexes the reader's queries lean on (messages by date, by GUID through the join, reactions by
// target, attachments by message), not every index Messages keeps.
constexpr const char* indexes = R"SQL(
CREATE INDEX message_idx_date ON message(date);
CREATE INDEX message_idx_associated_message ON message(associated_message_guid);
CREATE INDEX chat_message_join_idx_message_id_only ON chat_message_join(message_id);
CREATE INDEX chat_handle_join_idx_handle_id ON chat_handle_join(handle_id);
CREATE INDEX message_attachment_join_idx_message_id ON message_attachment_join(message_id);
CREATE INDEX message_attachment_join_idx_attachment_id ON message_attachment_join(attachment_id);
CREATE INDEX chat_idx_chat_identifier ON chat(chat_identifier);
CREATE INDEX chat_idx_group_id ON chat(group_id);
)SQL";

}  // namespace

tl::expected<std::unique_ptr<ChatDatabase>, std::string> ChatDatabase::create(const std::filesystem::path& path) {
    std::unique_ptr<ChatDatabase> self(new ChatDatabase());
    auto db = SqlWriter::create(path);
    if (!db) return tl::unexpected(db.error());
    self->db_ = std::move(*db);

    // A new file that is thrown away on failure needs no journal; a large cache keeps the random inserts
    // into the GUID index in memory.
    for (const char* pragma : {"PRAGMA journal_mode = OFF", "PRAGMA synchronous = OFF", "PRAGMA cache_size = -262144",
                               "PRAGMA temp_store = MEMORY", "PRAGMA locking_mode = EXCLUSIVE"}) {
        if (auto done = self->db_->exec(pragma); !done) return tl::unexpected(done.error());
    }
    if (auto done = self->db_->exec(schema); !done) return tl::unexpected(done.error());
    if (auto done = self->db_->exec("BEGIN"); !done) return tl::unexpected(done.error());

    auto prepare = [&](std::unique_ptr<SqlStatement>& slot, const char* sql) -> tl::expected<void, std::string> {
        auto statement = self->db_->prepare(sql);
        if (!statement) return tl::unexpected(statement.error());
        slot = std::move(*statement);
        return {};
    };
    for (auto done : {
             prepare(self->handle_,
                     "INSERT INTO handle (ROWID, id, country, service, uncanonicalized_id, person_centric_id) "
                     "VALUES (?, ?, ?, ?, NULL, NULL)"),
             prepare(self->chat_,
                     "INSERT INTO chat (ROWID, guid, style, state, account_id, chat_identifier, service_name, "
                     "room_name, account_login, display_name, group_id, successful_query) "
                     "VALUES (?, ?, ?, 3, ?, ?, ?, ?, ?, ?, ?, 1)"),
             prepare(self->chatHandle_, "INSERT INTO chat_handle_join (chat_id, handle_id) VALUES (?, ?)"),
             prepare(self->message_,
                     "INSERT INTO message (ROWID, guid, text, handle_id, subject, attributedBody, version, type, "
                     "service, account, account_guid, date, date_read, date_delivered, is_delivered, is_finished, "
                     "is_from_me, is_read, is_sent, cache_has_attachments, is_audio_message, is_played, item_type, "
                     "other_handle, group_title, group_action_type, associated_message_guid, "
                     "associated_message_type, balloon_bundle_id, expressive_send_style_id, message_summary_info, "
                     "destination_caller_id, thread_originator_guid, thread_originator_part, date_retracted, "
                     "date_edited, part_count, associated_message_emoji) "
                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6, 10, 0, ?7, ?8, ?9, ?10, ?11, ?12, ?13, 1, ?14, ?15, ?16, ?17, "
                     "?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, ?29, ?30, ?31, ?32, ?33, ?34, ?35)"),
             prepare(self->chatMessage_,
                     "INSERT INTO chat_message_join (chat_id, message_id, message_date) VALUES (?, ?, ?)"),
             prepare(self->attachment_,
                     "INSERT INTO attachment (ROWID, guid, created_date, start_date, filename, uti, mime_type, "
                     "transfer_state, is_outgoing, transfer_name, total_bytes, is_sticker, hide_attachment, "
                     "original_guid) VALUES (?1, ?2, ?3, ?3, ?4, ?5, ?6, 5, ?7, ?8, ?9, ?10, ?11, ?2)"),
             prepare(self->messageAttachment_,
                     "INSERT INTO message_attachment_join (message_id, attachment_id) VALUES (?, ?)"),
         }) {
        if (!done) return tl::unexpected(done.error());
    }
    return self;
}

tl::expected<void, std::string> ChatDatabase::handle(const HandleRecord& record) {
    handle_->bind(1, record.rowid);
    handle_->bind(2, std::string_view(record.address));
    handle_->bind(3, std::string_view(record.country));
    handle_->bind(4, std::string_view(record.service));
    return handle_->run();
}

tl::expected<void, std::string> ChatDatabase::chat(const ChatRecord& record, const std::vector<int64_t>& handles) {
    const bool group = record.style == 43;
    chat_->bind(1, record.rowid);
    chat_->bind(2, std::string_view(record.guid));
    chat_->bind(3, record.style);
    chat_->bind(4, std::string_view(accountGUID));
    chat_->bind(5, std::string_view(record.identifier));
    chat_->bind(6, std::string_view(record.service));
    if (group)
        chat_->bind(7, std::string_view(record.identifier));
    else
        chat_->bindNull(7);
    chat_->bind(8, std::string_view(record.account));
    chat_->bind(9, record.displayName);
    chat_->bind(10, std::string_view(record.groupID));
    if (auto done = chat_->run(); !done) return done;
    for (int64_t handle : handles) {
        chatHandle_->bind(1, record.rowid);
        chatHandle_->bind(2, handle);
        if (auto done = chatHandle_->run(); !done) return done;
    }
    return {};
}

tl::expected<int64_t, std::string> ChatDatabase::message(const MessageRecord& r, int64_t chat) {
    const int64_t rowid = nextMessage_++;
    SqlStatement& s = *message_;
    s.bind(1, rowid);
    s.bind(2, std::string_view(r.guid));
    s.bind(3, r.text);
    s.bind(4, r.handle);
    s.bind(5, r.subject);
    s.bind(6, r.body);
    s.bind(7, std::string_view(r.service));
    s.bind(8, std::string_view(r.account));
    s.bind(9, std::string_view(accountGUID));
    s.bind(10, r.date);
    s.bind(11, r.dateRead);
    s.bind(12, r.dateDelivered);
    s.bind(13, int64_t{r.fromMe ? r.dateDelivered != 0 : 1});
    s.bind(14, int64_t{r.fromMe});
    s.bind(15, int64_t{r.fromMe || r.dateRead != 0});
    s.bind(16, int64_t{r.fromMe});
    s.bind(17, int64_t{r.hasAttachments});
    s.bind(18, int64_t{r.isAudio});
    s.bind(19, int64_t{r.isAudio && r.dateRead != 0});
    s.bind(20, r.itemType);
    s.bind(21, r.otherHandle);
    s.bind(22, r.groupTitle);
    s.bind(23, r.groupActionType);
    s.bind(24, r.associatedGUID);
    s.bind(25, r.associatedType);
    s.bind(26, r.balloonBundleID);
    s.bind(27, r.effectStyle);
    s.bind(28, r.summaryInfo);
    s.bind(29, std::string_view(r.account));
    s.bind(30, r.threadOriginatorGUID);
    if (r.threadOriginatorGUID)
        s.bind(31, std::string_view("0:0:1"));
    else
        s.bindNull(31);
    s.bind(32, r.dateRetracted);
    s.bind(33, r.dateEdited);
    s.bind(34, int64_t{1});
    s.bind(35, r.associatedEmoji);
    if (auto done = s.run(); !done) return tl::unexpected(done.error());

    chatMessage_->bind(1, chat);
    chatMessage_->bind(2, rowid);
    chatMessage_->bind(3, r.date);
    if (auto done = chatMessage_->run(); !done) return tl::unexpected(done.error());
    return rowid;
}

tl::expected<int64_t, std::string> ChatDatabase::attachment(const AttachmentRecord& r, int64_t message) {
    const int64_t rowid = nextAttachment_++;
    SqlStatement& s = *attachment_;
    s.bind(1, rowid);
    s.bind(2, std::string_view(r.guid));
    s.bind(3, r.createdDate);
    s.bind(4, r.filename);
    s.bind(5, std::string_view(r.uti));
    s.bind(6, std::string_view(r.mimeType));
    s.bind(7, int64_t{r.isOutgoing});
    s.bind(8, std::string_view(r.transferName));
    s.bind(9, r.totalBytes);
    s.bind(10, int64_t{r.isSticker});
    s.bind(11, int64_t{r.hidden});
    if (auto done = s.run(); !done) return tl::unexpected(done.error());

    messageAttachment_->bind(1, message);
    messageAttachment_->bind(2, rowid);
    if (auto done = messageAttachment_->run(); !done) return tl::unexpected(done.error());
    return rowid;
}

tl::expected<void, std::string> ChatDatabase::finish() {
    handle_.reset();
    chat_.reset();
    chatHandle_.reset();
    message_.reset();
    chatMessage_.reset();
    attachment_.reset();
    messageAttachment_.reset();
    if (auto done = db_->exec(indexes); !done) return done;
    if (auto done = db_->exec("COMMIT"); !done) return done;
    return db_->close();
}

}  // namespace quillmark::sample
