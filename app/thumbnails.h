// Thumbnails: pictures of image attachments for the thread view, decoded on a pool of their own
// ("quillmark.thumbnails") through the engine's media code (orientation applied, HEIC included), kept in
// memory by file path up to a byte limit, least recently used first out. A finished picture is handed over on
// the main thread by `loaded`.
//
//   QImage picture = thumbnails.image(attachment);   // null at first: the decoding has started
//   connect(&thumbnails, &Thumbnails::loaded, view, [&](const QString& path) { repaintRowsOf(path); });
#pragma once

#include <cstdint>
#include <list>
#include <optional>

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include "conversations/attachment.h"

namespace quillmark::app {

class Thumbnails : public QObject {
    Q_OBJECT

public:
    // The longer side of a decoded picture, in pixels: twice what the view shows, for sharp high-density screens.
    static constexpr int maxPixels = 480;

    explicit Thumbnails(int64_t byteLimit = 128ll << 20, QObject* parent = nullptr);
    ~Thumbnails() override;

    // The cached picture of the attachment's file; null while it is decoded (which this call starts) and when
    // it cannot be (see failed).
    QImage image(const Attachment& attachment);
    // The playing time of an audio or video attachment; nothing while it is measured (which this call starts)
    // and when it cannot be told.
    std::optional<double> duration(const Attachment& attachment);
    // True when the file could not be made into a picture.
    bool failed(const Attachment& attachment) const;
    // Pictures being decoded.
    // Pictures and playing times being worked out.
    int pending() const { return int(loading_.size() + measuring_.size()); }
    int64_t bytes() const { return bytes_; }

signals:
    void loaded(const QString& path);

private:
    void insert(const QString& path, QImage image);

    struct Entry {
        QImage image;
        std::list<QString>::iterator use;
    };
    int64_t byteLimit_;
    int64_t bytes_ = 0;
    QHash<QString, Entry> cache_;
    std::list<QString> uses_;  // most recent first
    QSet<QString> loading_;
    QSet<QString> failed_;
    QHash<QString, std::optional<double>> durations_;
    QSet<QString> measuring_;
    QThreadPool pool_;
};

}  // namespace quillmark::app
