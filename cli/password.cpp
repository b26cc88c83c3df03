#include "cli/password.h"

#include <cstdio>
#include <fstream>
#include <iostream>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quillmark::cli {

namespace {

// Asks on the controlling terminal with echo off; nothing when there is no terminal.
std::optional<std::string> askOnTerminal(const std::string& folder) {
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return std::nullopt;
    const std::string prompt = "Password of the encrypted iPhone backup " + folder + ": ";
    if (::write(tty, prompt.data(), prompt.size()) < 0) {
        ::close(tty);
        return std::nullopt;
    }
    termios saved{};
    const bool isTerminal = ::tcgetattr(tty, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    std::string line;
    bool ended = false;
    char c = 0;
    while (::read(tty, &c, 1) == 1) {
        if (c == '\n' || c == '\r') {
            ended = true;
            break;
        }
        line += c;
    }
    if (isTerminal) ::tcsetattr(tty, TCSAFLUSH, &saved);
    [[maybe_unused]] const ssize_t echoed = ::write(tty, "\n", 1);  // the line end the hidden input did not show
    ::close(tty);
    if (!ended && line.empty()) return std::nullopt;
    return line;
}

}  // namespace

std::optional<std::string> firstLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line) && line.empty()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

IPhoneBackup::PasswordSource passwordSource(const GlobalOptions& global, std::ostream& err) {
    const std::optional<std::string> file = global.passwordFile;
    const std::string folder = global.messages.value_or("");
    return [file, folder, &err]() -> std::optional<std::string> {
        if (!file) return askOnTerminal(folder);
        if (*file == "-") return firstLine(std::cin);
        std::ifstream in(*file, std::ios::binary);
        if (!in) {
            err << "Quillmark can't read the password file " << *file << ".\n";
            return std::nullopt;
        }
        return firstLine(in);
    };
}

}  // namespace quillmark::cli
