#include "cli/commands.h"
#include "cli/output.h"
#include "conversations/model_json.h"
#include "core/calendar.h"

namespace quillmark::cli {

namespace {

// How long a preview may be in the text listing, in code points.
constexpr size_t snippetLength = 80;

}  // namespace

ExitStatus runList(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err) {
    if (!arguments.arguments.empty())
        return usage("list takes no arguments, but was given \"" + arguments.arguments.front() + "\".", err);
    auto history = openHistory(settings, err);
    if (!history) return history.error();
    const auto& conversations = (*history)->library().conversations();

    if (arguments.has("json")) {
        out << '[';
        for (size_t i = 0; i < conversations.size(); ++i) {
            const Conversation& c = conversations[i];
            ModelJSON::JSON item = ModelJSON::JSON::object();
            item["index"] = i + 1;
            item["id"] = c.id;
            item["title"] = c.title(settings.textLocale);
            item["messageCount"] = c.messageCount;
            item["lastDate"] = ModelJSON::date(c.lastDate);
            item["snippet"] = c.lastSnippet;
            if (const auto& origin = (*history)->library().origin()) {
                ModelJSON::JSON where = ModelJSON::JSON::object();
                where["device"] = origin->device;
                where["backupDate"] = ModelJSON::date(origin->backupDate);
                item["origin"] = std::move(where);
            }
            // The remaining fields in the model's order; those above keep their place.
            ModelJSON::JSON fields = ModelJSON::toJSON(c, settings.textLocale);
            for (auto& [key, value] : fields.items())
                if (!item.contains(key)) item[key] = std::move(value);
            if (i) out << ',';
            out << ModelJSON::dump(item);
        }
        out << "]\n";
        return done;
    }

    const auto format = DateFormat::make("yMMMdjmm", settings.locale, settings.timeZone);
    if (const auto& origin = (*history)->library().origin()) {
        out << "From an iPhone backup of " << oneLine(origin->device, snippetLength);
        if (origin->backupDate && format) out << " made on " << format->text(*origin->backupDate);
        out << ", opened read-only\n\n";
    }
    for (size_t i = 0; i < conversations.size(); ++i) {
        const Conversation& c = conversations[i];
        out << (i + 1) << ". " << oneLine(c.title(settings.textLocale), snippetLength) << "  [" << c.id << "]\n   "
            << c.messageCount << (c.messageCount == 1 ? " message" : " messages");
        if (c.lastDate && format) out << ", last " << format->text(*c.lastDate);
        if (!c.lastSnippet.empty()) out << ": " << oneLine(c.lastSnippet, snippetLength);
        out << '\n';
    }
    return done;
}

}  // namespace quillmark::cli
