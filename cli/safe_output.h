// SafeOutput: what the tool prints, made safe for whatever reads it.
//
// Names and messages come from other people. An escape sequence in a name could clear the screen, retitle
// the terminal or hide a line; a direction override could make a file name read backwards. So everything
// the tool writes for people goes through a filter that shows such characters as visible escapes (ESC as
// "\e", the others as "\u202E"), and invalid UTF-8 as U+FFFD. JSON output keeps its own escapes for the C0
// controls and gets "\u" escapes for the rest, which the JSON library writes raw.
//
//   SafeOutput human(std::cout, SafeOutput::Mode::terminal);   // until `human` goes away, std::cout is filtered
//   std::cout << "Anna\x1b[2J";                               // prints: Anna\e[2J
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace quillmark::cli {

class SafeOutput : public std::streambuf {
public:
    enum class Mode {
        terminal,  // controls and direction marks as visible escapes, tab and line feed kept
        json,      // C1 controls, DEL and direction marks as \u escapes; the rest as it is
    };

    // Filters `stream` until this object goes away.
    SafeOutput(std::ostream& stream, Mode mode);
    ~SafeOutput() override;
    SafeOutput(const SafeOutput&) = delete;
    SafeOutput& operator=(const SafeOutput&) = delete;

    // filtered: the text as the filter would write it.  filtered("a\x1b" "b", terminal) == "a\\eb"
    static std::string filtered(std::string_view text, Mode mode);

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    // Writes the complete characters of `pending_`, keeping an unfinished one for the next piece.
    void drain(bool final);

    std::ostream& stream_;
    std::streambuf* target_;
    Mode mode_;
    std::string pending_;
};

}  // namespace quillmark::cli
