// Verification: "Verify an Export…" for every front-end: the PDF checked against an opened history, once
// SQLite's check has found the history undamaged.
//
//   auto outcome = Verification::run(history, "/exports/Messages with Anna.pdf");
//   if (!outcome) show(outcome.error());                        // "The history is damaged: …"
//   Verifier::summary(*outcome).title;                          // "This export is unchanged"
#pragma once

#include <string>

#include <tl/expected.hpp>

#include "export/verify/verifier.h"
#include "service/history.h"

namespace quillmark::Verification {

// run: the verifier's outcome, or the failure of a damaged history (whatever was compared counts for nothing).
[[nodiscard]] tl::expected<Verifier::Outcome, History::Failure> run(History& history, const std::string& pdf);

}  // namespace quillmark::Verification
