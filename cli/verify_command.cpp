#include <filesystem>

#include "cli/commands.h"
#include "cli/progress_line.h"
#include "conversations/model_json.h"
#include "service/verification.h"

namespace quillmark::cli {

namespace {

// The outcome's case and payload, for scripts.
ModelJSON::JSON outcomeJSON(const Verifier::Outcome& outcome) {
    ModelJSON::JSON j = ModelJSON::JSON::object();
    if (const auto* m = std::get_if<Verifier::Matches>(&outcome)) {
        j["outcome"] = "matches";
        j["pages"] = m->pages;
        j["messages"] = m->messages;
        j["fingerprint"] = m->fingerprint;
    } else if (const auto* c = std::get_if<Verifier::PDFChanged>(&outcome)) {
        j["outcome"] = "pdfChanged";
        j["pages"] = c->pages;
        j["fingerprint"] = c->fingerprint;
        static constexpr const char* kinds[] = {"text", "picture", "added", "record"};
        j["change"] = kinds[static_cast<int>(c->kind)];
        if (!c->field.empty()) j["field"] = c->field;
    } else if (const auto* d = std::get_if<Verifier::MessagesDiffer>(&outcome)) {
        j["outcome"] = "messagesDiffer";
        j["exported"] = d->exported;
        j["now"] = d->now;
        j["pages"] = d->pages;
    } else if (std::holds_alternative<Verifier::ConversationMissing>(outcome)) {
        j["outcome"] = "conversationMissing";
    } else {
        j["outcome"] = "notAnExport";
    }
    return j;
}

}  // namespace

ExitStatus runVerify(const Arguments& arguments, const Settings& settings, std::ostream& out, std::ostream& err) {
    if (arguments.arguments.size() != 1)
        return usage("verify takes one PDF file, but was given " + std::to_string(arguments.arguments.size()) + ".", err);
    auto history = openHistory(settings, err, History::Check::atOnce);
    if (!history) return history.error();

    ProgressLine line(!arguments.has("quiet"));
    line.show("Checking every page of " + std::filesystem::path(arguments.arguments.front()).filename().string() + "…");
    const auto verified = Verification::run(**history, arguments.arguments.front());
    line.clear();
    if (!verified) {
        err << "The PDF wasn't checked\n" << verified.error().description() << "\n";
        return historyUnavailable;
    }
    const Verifier::Outcome& outcome = *verified;
    const auto summary = Verifier::summary(outcome, settings.textLocale);
    if (arguments.has("json")) {
        ModelJSON::JSON j = outcomeJSON(outcome);
        j["title"] = summary.title;
        j["detail"] = summary.detail;
        j["ok"] = summary.ok;
        out << ModelJSON::dump(j) << '\n';
    } else {
        out << summary.title << "\n" << summary.detail << "\n";
    }
    return summary.ok ? done : notVerified;
}

}  // namespace quillmark::cli
