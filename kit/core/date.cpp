#include "core/date.h"

#include <cmath>

namespace quillmark {

int64_t Date::milliseconds() const { return static_cast<int64_t>(std::llround(seconds * 1000.0)); }

}  // namespace quillmark
