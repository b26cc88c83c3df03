#include "export/layout/printable_pictures.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace quillmark {

std::string PrintablePictures::key(const Attachment& attachment, int maxPixels) {
    // The picture depends on the file, how it is read (its kind and type) and the size asked for.
    return attachment.guid + '\x1f' + attachment.path.value_or("") + '\x1f' + attachment.mimeType.value_or("") +
           '\x1f' + std::string(attachment.kind().rawValue()) + '\x1f' +
           (attachment.isAvailable ? "1" : "0") + '\x1f' + std::to_string(maxPixels);
}

void PrintablePictures::prepare(const std::vector<Request>& requests, AttachmentMedia& media, double quality,
                                int threads) {
    std::vector<std::pair<std::string, Request>> work;
    for (const Request& request : requests) {
        std::string k = key(*request.attachment, request.maxPixels);
        if (pictures_.count(k)) continue;
        pictures_.emplace(k, nullptr);
        work.emplace_back(std::move(k), request);
    }
    if (work.empty()) return;

    std::vector<PictureRef> made(work.size());
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < work.size(); i = next++) {
            const Request& request = work[i].second;
            made[i] = share(media.printablePicture(*request.attachment, request.maxPixels, quality));
        }
    };
    size_t count = std::clamp<size_t>(static_cast<size_t>(std::max(threads, 1)), 1, work.size());
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < count; ++t) {
        // Without another thread the work is simply done on this one.
        try {
            helpers.emplace_back(worker);
        } catch (const std::system_error&) {
            break;
        }
    }
    worker();
    for (auto& helper : helpers) helper.join();

    for (size_t i = 0; i < work.size(); ++i) pictures_[work[i].first] = std::move(made[i]);
}

std::optional<PictureRef> PrintablePictures::find(const Attachment& attachment, int maxPixels) const {
    auto found = pictures_.find(key(attachment, maxPixels));
    if (found == pictures_.end()) return std::nullopt;
    return found->second;
}

}  // namespace quillmark
