#include "app/thumbnails.h"

#include "app/qt_text.h"
#include "export/attachment_media.h"

namespace quillmark::app {

namespace {

int64_t sizeOf(const QImage& image) { return int64_t(image.sizeInBytes()); }

}  // namespace

Thumbnails::Thumbnails(int64_t byteLimit, QObject* parent) : QObject(parent), byteLimit_(byteLimit) {
    pool_.setObjectName(QStringLiteral("quillmark.thumbnails"));
    pool_.setMaxThreadCount(2);
}

Thumbnails::~Thumbnails() {
    pool_.clear();
    pool_.waitForDone();
}

QImage Thumbnails::image(const Attachment& attachment) {
    if (!attachment.path || !attachment.isAvailable) return {};
    const QString path = qt(*attachment.path);
    if (auto found = cache_.find(path); found != cache_.end()) {
        uses_.splice(uses_.begin(), uses_, found->use);
        return found->image;
    }
    if (loading_.contains(path) || failed_.contains(path)) return {};
    loading_.insert(path);
    pool_.start([this, attachment, path] {
        QImage image;
        if (auto picture = AttachmentMedia::shared().picture(attachment, maxPixels)) {
            const QImage view(picture->rgb.data(), picture->width, picture->height, picture->width * 3,
                              QImage::Format_RGB888);
            image = view.convertToFormat(QImage::Format_RGB32);
        }
        QMetaObject::invokeMethod(
            this, [this, path, image = std::move(image)]() mutable { insert(path, std::move(image)); },
            Qt::QueuedConnection);
    });
    return {};
}

std::optional<double> Thumbnails::duration(const Attachment& attachment) {
    if (!attachment.path || !attachment.isAvailable) return std::nullopt;
    const QString path = qt(*attachment.path);
    if (auto found = durations_.find(path); found != durations_.end()) return *found;
    if (measuring_.contains(path)) return std::nullopt;
    measuring_.insert(path);
    pool_.start([this, attachment, path] {
        const std::optional<double> seconds = AttachmentMedia::shared().duration(attachment);
        QMetaObject::invokeMethod(
            this,
            [this, path, seconds] {
                measuring_.remove(path);
                durations_.insert(path, seconds);
                emit loaded(path);
            },
            Qt::QueuedConnection);
    });
    return std::nullopt;
}

bool Thumbnails::failed(const Attachment& attachment) const {
    return !attachment.path || !attachment.isAvailable || failed_.contains(qt(*attachment.path));
}

void Thumbnails::insert(const QString& path, QImage image) {
    loading_.remove(path);
    if (image.isNull()) {
        failed_.insert(path);
    } else {
        bytes_ += sizeOf(image);
        uses_.push_front(path);
        cache_.insert(path, Entry{std::move(image), uses_.begin()});
        while (bytes_ > byteLimit_ && uses_.size() > 1) {
            const QString oldest = uses_.back();
            uses_.pop_back();
            bytes_ -= sizeOf(cache_.value(oldest).image);
            cache_.remove(oldest);
        }
    }
    emit loaded(path);
}

}  // namespace quillmark::app
