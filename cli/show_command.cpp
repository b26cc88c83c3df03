#include "cli/commands.h"
#include "cli/transcript.h"
#include "conversations/conversation_reference.h"
#include "conversations/model_json.h"
#include "core/calendar.h"
#include "export/export_options.h"

namespace quillmark::cli {

ExitStatus runShow(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err) {
    if (arguments.arguments.empty()) return usage("show needs a conversation: an id, a position in list, or a chat GUID.", err);
    if (arguments.arguments.size() > 1)
        return usage("show takes one conversation, but was also given \"" + arguments.arguments[1] + "\".", err);
    const std::string& reference = arguments.arguments.front();
    const auto range = typedRange(arguments, settings, "shown");
    if (!range) return usage(range.error(), err);

    auto history = openHistory(settings, err);
    if (!history) return history.error();
    const auto& conversations = (*history)->library().conversations();
    const auto found = findConversation(conversations, reference);
    if (!found) {
        return usage("There is no conversation \"" + reference + "\" in this history (it has " +
                         std::to_string(conversations.size()) +
                         "). Run \"quillmark-cli list\" for the positions and ids.",
                     err);
    }

    auto thread = (*history)->library().thread(conversations[*found], *range);
    if (!thread) return historyFailed(thread.error().description(), err);
    if (arguments.has("json")) {
        ModelJSON::write(out, *thread, settings.textLocale);
        out << '\n';
        return done;
    }
    const auto dates = DateFormat::make("yMMMdjmm", settings.locale, settings.timeZone);
    writeTranscript(out, *thread,
                    TranscriptStyle{dates.get(), ExportOptions::ownName(settings.meName), settings.textLocale});
    return done;
}

}  // namespace quillmark::cli
