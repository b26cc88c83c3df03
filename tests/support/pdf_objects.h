// A PDF written by hand from its objects, numbered from 1 in the order given, with a true cross-reference
// table: for tests that need a document shaped as our writer never shapes one.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quillmark::testing {

// `trailer` is the trailer's entries besides /Size.
inline std::string pdfOfObjects(const std::vector<std::string>& objects, const std::string& trailer = "/Root 1 0 R") {
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    return pdf + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " " + trailer + " >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
}

}  // namespace quillmark::testing
