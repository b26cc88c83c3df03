// DateRange: a window of time with inclusive bounds, either of which may be open.
//
//   DateRange::all.contains(anyDate) == true
//   DateRange{start, start}.contains(start) == true    // exactly that instant
#pragma once

#include <optional>

#include "core/date.h"

namespace quillmark {

struct DateRange {
    std::optional<Date> start;  // inclusive; absent = unbounded
    std::optional<Date> end;    // inclusive; absent = unbounded

    // The unbounded range.
    static const DateRange all;

    constexpr bool isAll() const { return !start && !end; }
    constexpr bool contains(Date date) const { return (!start || date >= *start) && (!end || date <= *end); }

    friend constexpr bool operator==(const DateRange&, const DateRange&) = default;
};

inline constexpr DateRange DateRange::all{};

}  // namespace quillmark
