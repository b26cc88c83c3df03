// SentenceFailure: a failure that is one sentence a person can act on.
//
// Every fallible operation of the engine returns tl::expected<T, X::Failure>, and every Failure has
// description(). Where a failure has kinds that callers tell apart (SQLiteDatabase::Failure,
// MessagesDatabase::Failure, History::Failure …) it is a type of its own; where it is only a sentence, the
// owner names this type as its Failure:
//
//   namespace AtomicFile { using Failure = SentenceFailure; }
//   auto written = AtomicFile::write(path, bytes);
//   if (!written) show(written.error().description());   // "Could not write “…”: No space left on device."
#pragma once

#include <ostream>
#include <string>

namespace quillmark {

struct SentenceFailure {
    std::string sentence;

    const std::string& description() const { return sentence; }
    friend bool operator==(const SentenceFailure&, const SentenceFailure&) = default;
    friend std::ostream& operator<<(std::ostream& out, const SentenceFailure& failure) { return out << failure.sentence; }
};

}  // namespace quillmark
