// The user's account on this computer, for the default own name in exports and transcripts.
//
//   accountFullName() == "Anna Berg"     // the first field of the account's GECOS entry; "" when it has none
#pragma once

#include <string>

namespace quillmark {

// accountFullName: the full name of the account this program runs as, trimmed; empty when the password
// database gives none.
std::string accountFullName();

}  // namespace quillmark
