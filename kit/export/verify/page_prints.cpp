#include "export/verify/page_prints.h"

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <set>

#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include "core/sha256.h"

namespace quillmark::PagePrints {

namespace {

// The attributes a page may take from the page tree above it.
const char* const inherited[] = {"/Resources", "/MediaBox", "/CropBox", "/Rotate"};

class Printer {
public:
    // The print of a page: its entries but the link to its parent, with the inherited attributes it uses.
    std::string page(QPDFPageObjectHelper& page) {
        std::string out = "page<<";
        QPDFObjectHandle dict = page.getObjectHandle();
        std::set<std::string> keys = dict.getKeys();
        for (const char* key : inherited) keys.insert(key);
        keys.erase("/Parent");
        for (const std::string& key : keys) {
            QPDFObjectHandle value = page.getAttribute(key, false);
            if (value.isNull()) continue;
            out += key + " " + print(value) + " ";
        }
        return SHA256::of(out + ">>");
    }

private:
    std::string print(QPDFObjectHandle h) {
        // A chain of references as deep as a hostile file makes it would exhaust the stack; exports are a
        // few levels deep.
        if (depth_ > maxDepth) {
            failed = true;
            return {};
        }
        ++depth_;
        std::string out = printed(h);
        --depth_;
        return out;
    }

    std::string printed(QPDFObjectHandle h) {
        if (!h.isIndirect()) return direct(h);
        const QPDFObjGen id = h.getObjGen();
        if (const auto found = done_.find(id); found != done_.end()) return found->second;
        // A reference back to an object being printed (an annotation's page) is the same in both files
        // when the rest is: the object itself is printed where it stands.
        if (!open_.insert(id).second) return "cycle";
        std::string out = "ref:" + SHA256::of(direct(h));
        open_.erase(id);
        done_.emplace(id, out);
        return out;
    }

    std::string direct(QPDFObjectHandle h) {
        if (h.isStream()) return stream(h);
        if (h.isArray()) {
            std::string out = "[";
            for (QPDFObjectHandle item : h.aitems()) out += print(item) + " ";
            return out + "]";
        }
        if (h.isDictionary()) return dictionary(h, {});
        if (h.isString()) return "string " + SHA256::of(h.getStringValue());
        return h.unparse();  // null, boolean, number, name
    }

    std::string dictionary(QPDFObjectHandle h, const std::set<std::string>& left) {
        std::string out = "<<";
        for (const std::string& key : h.getKeys()) {
            if (left.count(key)) continue;
            out += key + " " + print(h.getKey(key)) + " ";
        }
        return out + ">>";
    }

    // Decoded where the file's filters allow it, so that a stream compressed anew prints the same; a stream
    // that is not decoded keeps its filters in its print.
    std::string stream(QPDFObjectHandle h) {
        Pl_Buffer buffer("print");
        bool filtered = false;
        if (!h.pipeStreamData(&buffer, &filtered, 0, qpdf_dl_generalized, true, false)) failed = true;
        const std::shared_ptr<Buffer> data = buffer.getBufferSharedPointer();
        const std::string bytes = data ? std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize())
                                       : std::string();
        const std::set<std::string> left = filtered ? std::set<std::string>{"/Length", "/Filter", "/DecodeParms"}
                                                    : std::set<std::string>{"/Length"};
        return "stream" + dictionary(h.getDict(), left) + SHA256::of(bytes);
    }

public:
    bool failed = false;  // a stream could not be read whole

private:
    static constexpr int maxDepth = 200;
    int depth_ = 0;
    std::map<QPDFObjGen, std::string> done_;
    std::set<QPDFObjGen> open_;
};

}  // namespace

std::optional<std::vector<std::string>> of(const uint8_t* pdf, size_t size) {
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.setAttemptRecovery(false);
        document.processMemoryFile("export", reinterpret_cast<const char*>(pdf), size);
        std::vector<std::string> prints;
        Printer printer;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(document).getAllPages())
            prints.push_back(printer.page(page));
        if (printer.failed || document.anyWarnings()) return std::nullopt;
        return prints;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace quillmark::PagePrints
