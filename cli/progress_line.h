// ProgressLine: one line on the terminal that follows a long export or verification, rewritten in place
// ("Anna Berg: 45 pages, 37 %"), and wiped when the work ends so that what the command prints stays as it
// was. It shows only when standard error is a terminal and --quiet was not given: a script that reads the
// output sees nothing of it.
#pragma once

#include <string>

#include "service/export_service.h"

namespace quillmark::cli {

class ProgressLine {
public:
    explicit ProgressLine(bool wanted);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // show: the export's progress as one line; written only when its text changes.
    void show(const ExportService::Progress& progress);
    // show: a fixed text, for work that reports no steps.
    void show(const std::string& text);
    // clear: wipes the line; the next show writes it again.
    void clear();

    // text: the line for an export's progress, before it is made safe for the terminal.
    static std::string text(const ExportService::Progress& progress);

private:
    void write(const std::string& bytes);

    bool enabled_;
    bool shown_ = false;
    std::string last_;
};

}  // namespace quillmark::cli
