#include "cli/commands.h"
#include "cli/transcript.h"
#include "conversations/conversation_reference.h"
#include "conversations/model_json.h"
#include "core/calendar.h"

namespace quillmark::cli {

namespace {

// The range typed with --from and --to, or a usage sentence.
tl::expected<DateRange, std::string> typedRange(const Arguments& arguments, const Settings& settings) {
    DateRange range;
    if (const auto from = arguments.value("from")) {
        auto start = Calendar::parseBound(*from, settings.timeZone, Calendar::Bound::start);
        if (!start) return tl::unexpected("--from: " + start.error());
        range.start = *start;
    }
    if (const auto to = arguments.value("to")) {
        auto end = Calendar::parseBound(*to, settings.timeZone, Calendar::Bound::end);
        if (!end) return tl::unexpected("--to: " + end.error());
        range.end = *end;
    }
    if (range.start && range.end && *range.start > *range.end)
        return tl::unexpected("--from " + *arguments.value("from") + " comes after --to " + *arguments.value("to") +
                              ", so no message could be shown.");
    return range;
}

}  // namespace

ExitStatus runShow(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err) {
    if (arguments.arguments.empty()) return usage("show needs a conversation: an id, a position in list, or a chat GUID.", err);
    if (arguments.arguments.size() > 1)
        return usage("show takes one conversation, but was also given \"" + arguments.arguments[1] + "\".", err);
    const std::string& reference = arguments.arguments.front();
    const auto range = typedRange(arguments, settings);
    if (!range) return usage(range.error(), err);

    auto library = openHistory(settings, err);
    if (!library) return library.error();
    const auto& conversations = (*library)->conversations();
    const auto found = findConversation(conversations, reference);
    if (!found) {
        return usage("There is no conversation \"" + reference + "\" in this history (it has " +
                         std::to_string(conversations.size()) +
                         "). Run \"quillmark-cli list\" for the positions and ids.",
                     err);
    }

    auto thread = (*library)->thread(conversations[*found], *range);
    if (!thread) {
        err << "Quillmark can't read the Messages history\n" << thread.error().description() << "\n";
        return historyUnavailable;
    }
    if (arguments.has("json")) {
        ModelJSON::write(out, *thread, settings.textLocale);
        out << '\n';
        return done;
    }
    const auto dates = DateFormat::make("yMMMdjmm", settings.locale, settings.timeZone);
    writeTranscript(out, *thread, TranscriptStyle{dates.get(), settings.meName, settings.textLocale});
    return done;
}

}  // namespace quillmark::cli
