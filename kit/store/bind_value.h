// BindValue: one value bound to an SQL parameter.
//
//   statement.bindAll({BindValue{int64_t{7}}, BindValue{std::string("abc")}, BindValue{}});  // 7, 'abc', NULL
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace quillmark {

// Bytes are kept apart from text so that a blob is bound as a blob.
struct Bytes {
    std::vector<uint8_t> data;
    friend bool operator==(const Bytes&, const Bytes&) = default;
};

// A tagged value: NULL (the monostate), integer, boolean, real, text or bytes.
using BindValue = std::variant<std::monostate, int64_t, bool, double, std::string, Bytes>;

}  // namespace quillmark
