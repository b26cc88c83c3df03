// Small Messages histories written on the fly for the store tests: a schema with every column the queries
// name (shaped like a recent macOS one) or a bare one without any optional column.
#pragma once

#include <filesystem>
#include <string>

namespace quillmark::testing {

// Every table the history reader needs, with all optional columns.
extern const char* const fullSchema;
// The required tables with only the columns the queries take as given; no attachment table.
extern const char* const bareSchema;

// Creates a database at path from the SQL script; aborts the test program on failure.
void makeDatabase(const std::filesystem::path& path, const std::string& script);

}  // namespace quillmark::testing
