#include "service/verification.h"

#include "export/attachment_media.h"

namespace quillmark::Verification {

tl::expected<Verifier::Outcome, History::Failure> run(History& history, const std::string& pdf) {
    // The check runs beside the verification, which takes far longer; a damaged history then voids it.
    history.startIntegrityCheck();
    Verifier::Outcome outcome = Verifier::verify(pdf, history.library(), AttachmentMedia::shared());
    if (auto whole = history.integrity(); !whole) return tl::unexpected(whole.error());
    return outcome;
}

}  // namespace quillmark::Verification
