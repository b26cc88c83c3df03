// EditVersion: one earlier version of an edited message, its text and the time it was current.
//
// It belongs to the conversation model, but the edit-history decoder produces it too, so it lives here,
// under both.
#pragma once

#include <optional>
#include <string>

#include "core/date.h"

namespace quillmark {

struct EditVersion {
    std::string text;
    std::optional<Date> date;

    friend bool operator==(const EditVersion&, const EditVersion&) = default;
};

}  // namespace quillmark
