#include "cli/commands.h"

namespace quillmark::cli {

namespace {

constexpr const char* globalHelp = R"(Usage: quillmark-cli [global options] COMMAND [arguments] [options]

Reads a Messages history read-only, lists its conversations, shows them, exports them, and decodes message
bodies.

Commands:
  list                      the conversations, newest first
  show CONV                 the messages of one conversation
  export CONV...|--all      conversations as PDF documents, CSV files or HTML folders
  verify FILE.pdf           check a PDF export against the messages of this history
  fingerprint CONV          the SHA-256 fingerprint of a conversation's messages
  inspect body|summary FILE decode an archived message body or a summary blob ("-" reads standard input)

Global options (before or after the command):
  --messages PATH    the history: a chat.db or sms.db file, a folder holding chat.db or Messages/chat.db, or
                     an iPhone backup folder (or a folder of backups: the newest is read)
                     (default: ~/Library/Messages/chat.db)
  --password-file FILE  the password of an encrypted iPhone backup, on the file's first line ("-" reads
                     standard input); without it the password is asked for on the terminal
  --contacts PATH    an address-book database or a vCard file (.vcf) for names; may be given more than once
                     (default: the data folder's AddressBook/AddressBook-v22.abcddb, else the user's address
                     book; for an iPhone backup, its own address book, to which these add)
  --time-zone ID     the time zone of every date shown and typed, such as Europe/Berlin (default: this machine's)
  --locale ID        the locale of dates and names, such as en_US or de_DE (default: from LC_ALL, LC_TIME, LANG)
  --me NAME          how your own messages are signed (default: your account's full name, else You)
  --paper letter|a4  the paper of PDF exports
  -h, --help         this help; after a command, that command's help

CONV is a conversation id as "list --json" shows it, a position in "list" (1 is the newest), or a chat GUID.

Exit status: 0 done, 1 verification not good, 2 usage error or unknown conversation, 3 history unavailable
or damaged, 4 failed (an export, a decode, or writing the output).
)";

constexpr const char* listHelp = R"(Usage: quillmark-cli [global options] list [--json]

Lists the conversations, newest first: position, id, title, message count, date of the last message and a
preview of it.

  --json   an array of objects: index, id, title, messageCount, lastDate, snippet and the conversation's
           other fields (chatIDs, chatGUIDs, groupName, participants, isGroup, firstDate, lastSnippet,
           services). Dates are milliseconds since 1970, absent values null.
)";

constexpr const char* showHelp = R"(Usage: quillmark-cli [global options] show CONV [--from D] [--to D] [--json]

Shows the messages of one conversation: time, sender, text, attachments, reactions, edits and events.

  CONV       a conversation id as "list --json" shows it, a position in "list", or a chat GUID
  --from D   only messages from D on: a day YYYY-MM-DD (from its first instant in the time zone) or an
             ISO 8601 date-time such as 2024-03-31T18:30:00+02:00 (without an offset, in the time zone)
  --to D     only messages up to D: a day (up to its last instant) or a date-time, included
  --json     the whole thread: conversation, range, messages with every field, and reply contexts
)";

constexpr const char* exportHelp = R"help(Usage: quillmark-cli [global options] export CONV... | --all --format pdf|csv|html
                         [--layout book|record] [--from D] [--to D] (--output PATH | --folder DIR) [--quiet]

Exports conversations: a PDF in the book layout (bubbles and photos, a chapter a month) or the record layout
(times to the second, page numbers, the SHA-256 of every file), a CSV file (UTF-8, one row per message), or
an HTML folder holding index.html and a copy of every attachment in files/. Dates are written in --time-zone
and --locale; your own messages are signed with --me. For each export it prints the path, the number of pages
(PDF) and of messages, the SHA-256 of the file (PDF, CSV), the fingerprint of the messages, and how many
attachment files were left out because they are not in this history.

  CONV...         conversations: ids as "list --json" shows them, positions in "list", or chat GUIDs
  --all           every conversation of the history
  --format F      pdf, csv or html
  --layout L      the PDF's layout: book or record (the default); kept in the options of every format
  --from D        only messages from D on: a day YYYY-MM-DD or an ISO 8601 date-time
  --to D          only messages up to D, included
  --output PATH   one conversation to this file (PDF, CSV) or folder (HTML: an earlier HTML export of
                  Quillmark's there is replaced; any other folder is left alone)
  --folder DIR    each conversation into DIR as "Messages with <title> (<first day> to <last day>)", with
                  " 2", " 3" ... added when the name is taken; DIR is made when missing
  --quiet         no progress line (it shows only when standard error is a terminal)

Nothing is written into the history's folders. Before the first file is written, SQLite checks the history
for damage; a damaged history exits with status 3 and writes nothing. Files are written under a temporary name
and renamed into place; an interrupted export leaves none behind. Exit status 4 when an export fails; the
exports finished before it stay.
)help";

constexpr const char* verifyHelp = R"help(Usage: quillmark-cli [global options] verify FILE.pdf [--json] [--quiet]

Reads the verification record of a PDF export, makes the same export again from this history with the
recorded options, and compares every page and the fingerprint. Prints the outcome's title and explanation;
--json gives the outcome ("matches", "pdfChanged", "messagesDiffer", "conversationMissing" or
"notAnExport") with its numbers, title, detail and ok.

Exit status 0 when the export is unchanged, 1 when it is not (or cannot be checked), 3 when the history is
damaged (SQLite's integrity check runs beside the comparison). While it checks, a line on standard error says
so when that is a terminal; --quiet leaves it out.
)help";

constexpr const char* fingerprintHelp = R"help(Usage: quillmark-cli [global options] fingerprint CONV [--from D] [--to D] [--canonical]

Prints the fingerprint of a conversation's messages: a SHA-256 over a canonical text of every message (time,
sender, service, text, edits, reactions) and the bytes of every attachment file. Anyone with the same history
gets the same fingerprint.

  --from D, --to D   the date range, as for show
  --canonical        print the exact text that is hashed instead of its hash
)help";

constexpr const char* inspectHelp = R"(Usage: quillmark-cli [global options] inspect body|summary FILE [--json]

Decodes one stored blob, read from FILE ("-" for standard input):
  body      an archived message body (the attributedBody column): its text and attribute runs, the plain
            value of its root object, and the tree of archived objects
  summary   a message summary property list (the message_summary_info column): the earlier versions of
            an edited message and the parts that were unsent

  --json    the same as JSON

Input that does not decode is reported on standard error with exit status 4.
)";

}  // namespace

void printHelp(const std::string& command, std::ostream& out) {
    if (command == "list")
        out << listHelp;
    else if (command == "show")
        out << showHelp;
    else if (command == "inspect")
        out << inspectHelp;
    else if (command == "export")
        out << exportHelp;
    else if (command == "verify")
        out << verifyHelp;
    else if (command == "fingerprint")
        out << fingerprintHelp;
    else
        out << globalHelp;
}

ExitStatus usage(const std::string& sentence, std::ostream& err) {
    err << "quillmark-cli: " << sentence << "\nRun \"quillmark-cli --help\" for the commands and options.\n";
    return usageError;
}

}  // namespace quillmark::cli
