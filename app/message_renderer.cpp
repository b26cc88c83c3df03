#include "app/message_renderer.h"

#include <algorithm>
#include <cmath>

#include <QPainterPath>
#include <QTextLayout>

#include "app/qt_text.h"
#include "app/symbols.h"
#include "core/locale.h"
#include "export/formats.h"

namespace quillmark::app {

namespace {

constexpr double margin = 16;         // between the view's edges and the bubbles
constexpr double bubblePadX = 12;
constexpr double bubblePadY = 7;
constexpr double bubbleRadius = 17;
constexpr double gap = 3;              // between the pieces of one message
constexpr double chipHeight = 54;

QFont scaled(const QFont& base, double factor, QFont::Weight weight = QFont::Normal, bool italic = false) {
    QFont font = base;
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * factor);
    } else {
        font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * factor))));
    }
    font.setWeight(weight);
    font.setItalic(italic);
    return font;
}

// A wrapped paragraph: its layout and the size it takes.
struct Paragraph {
    std::shared_ptr<QTextLayout> layout;
    QSizeF size;
};

Paragraph wrap(const QString& text, const QFont& font, double width, const QList<QTextLayout::FormatRange>& formats = {},
               int maxLines = 0, Qt::Alignment alignment = Qt::AlignLeft) {
    Paragraph paragraph;
    paragraph.layout = std::make_shared<QTextLayout>(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setAlignment(alignment);
    paragraph.layout->setTextOption(option);
    paragraph.layout->setFormats(formats);
    paragraph.layout->setCacheEnabled(true);
    paragraph.layout->beginLayout();
    double y = 0, widest = 0;
    int lines = 0;
    while (true) {
        QTextLine line = paragraph.layout->createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        widest = std::max(widest, line.naturalTextWidth());
        if (maxLines > 0 && ++lines == maxLines) break;
    }
    paragraph.layout->endLayout();
    paragraph.size = QSizeF(std::ceil(widest), std::ceil(y));
    return paragraph;
}

// The link texts of a message underlined where they stand in its text.
QList<QTextLayout::FormatRange> linkFormats(const QString& text, const std::vector<std::string>& links) {
    QList<QTextLayout::FormatRange> formats;
    for (const std::string& link : links) {
        const QString target = qt(link);
        if (target.isEmpty()) continue;
        for (qsizetype at = text.indexOf(target); at >= 0; at = text.indexOf(target, at + target.size())) {
            QTextLayout::FormatRange range;
            range.start = int(at);
            range.length = int(target.size());
            range.format.setFontUnderline(true);
            formats.append(range);
        }
    }
    return formats;
}

QString senderName(const Message& message) {
    if (!message.sender) return QStringLiteral("Unknown");
    return qt(message.sender->displayName());
}

QString reactionName(const Reaction& reaction) {
    if (reaction.isFromMe) return QStringLiteral("You");
    if (!reaction.sender) return QStringLiteral("Unknown");
    const QString name = qt(reaction.sender->displayName());
    // The first word of a name is enough beside the reaction.
    if (reaction.sender->name) return name.section(QLatin1Char(' '), 0, 0);
    return name;
}

Symbol symbolOf(const Attachment& attachment) {
    if (!attachment.isAvailable) return Symbol::missing;
    switch (attachment.kind().value()) {
        case AttachmentKind::image: return Symbol::photo;
        case AttachmentKind::video: return Symbol::film;
        case AttachmentKind::audio: return Symbol::waveform;
        case AttachmentKind::file: return Symbol::document;
    }
    return Symbol::document;
}

bool isMedia(const Attachment& attachment) {
    return attachment.kind() == AttachmentKind::audio || attachment.kind() == AttachmentKind::video;
}

}  // namespace

MessageRenderer::MessageRenderer(Context context) : context_(std::move(context)) {
    caption_ = scaled(context_.font, 0.86);
    captionBold_ = scaled(context_.font, 0.86, QFont::DemiBold);
    fileName_ = scaled(context_.font, 0.95, QFont::DemiBold);
}

QString MessageRenderer::attachmentHelp(const Attachment& attachment) {
    const QString name = qt(attachment.name);
    if (!attachment.isAvailable) return name + QStringLiteral(" — Not in this history");
    return name + QStringLiteral(" — double-click to open");
}

QString MessageRenderer::fileDetail(const Attachment& attachment, std::optional<double> duration) {
    if (!attachment.isAvailable) return QStringLiteral("Not in this history");
    QString detail = qt(Formats::bytes(attachment.byteCount, userLocale(LocaleCategory::messages)));
    if (duration) detail += QStringLiteral(" · ") + qt(Formats::duration(*duration));
    return detail;
}

int MessageRenderer::layout(const ThreadItems::Item& item, int width, QPainter* painter, std::vector<Hit>* hits,
                            QPointF origin) const {
    const MessageThread& thread = *context_.thread;
    const Message& message = thread.messages[size_t(item.message)];
    const Theme& theme = context_.theme;
    const QFontMetricsF captionMetrics(caption_);

    if (painter) {
        painter->save();
        painter->translate(origin);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
    }
    const auto finish = [&](double height) {
        if (painter) painter->restore();
        return int(std::ceil(height));
    };

    if (item.kind == ThreadItems::Item::Kind::time) {
        const double top = 16, bottom = 6;
        if (painter) {
            const QString day = context_.dates->timeLabelDay(message.date);
            const QString time = context_.dates->timeLabelTime(message.date);
            const QString joined = time.isEmpty() ? day : day + QStringLiteral("  ");
            const double dayWidth = QFontMetricsF(captionBold_).horizontalAdvance(joined);
            const double total = dayWidth + captionMetrics.horizontalAdvance(time);
            double x = (width - total) / 2;
            painter->setPen(theme.secondaryText);
            painter->setFont(captionBold_);
            painter->drawText(QPointF(x, top + captionMetrics.ascent()), joined);
            painter->setFont(caption_);
            painter->drawText(QPointF(x + dayWidth, top + captionMetrics.ascent()), time);
        }
        return finish(top + captionMetrics.height() + bottom);
    }

    if (item.kind == ThreadItems::Item::Kind::event) {
        const double padY = 6, lineWidth = std::max(100.0, width * 0.8);
        const Paragraph text = wrap(qt(*message.event), caption_, lineWidth, {}, 0, Qt::AlignHCenter);
        if (painter) {
            painter->setPen(theme.secondaryText);
            text.layout->draw(painter, QPointF((width - lineWidth) / 2, padY));
        }
        return finish(padY * 2 + text.size.height());
    }

    // --- a message
    const bool mine = message.isFromMe;
    const double maxBubble = std::clamp((width - 2 * margin) * 0.72, 200.0, 620.0);
    const QColor fill = mine ? theme.accent : theme.incoming;
    const QColor ink = mine ? theme.onAccent : theme.onIncoming;
    double y = 2;
    // Places a piece of the given width on the message's side.
    const auto left = [&](double pieceWidth) { return mine ? width - margin - pieceWidth : margin; };

    const auto captionLine = [&](const QString& text, bool inset) {
        const Paragraph line = wrap(text, caption_, maxBubble);
        if (painter) {
            painter->setPen(theme.secondaryText);
            const double x = left(line.size.width()) + (inset ? (mine ? -bubblePadX : bubblePadX) : 0);
            line.layout->draw(painter, QPointF(x, y));
        }
        y += line.size.height() + 1;
    };

    if (item.showSender) captionLine(senderName(message), true);
    if (message.appKind) captionLine(qt(*message.appKind), true);

    // The message it replies to, as a quotation above the bubble.
    if (message.replyToGUID) {
        const auto found = thread.replies.find(*message.replyToGUID);
        if (found != thread.replies.end()) {
            const double innerWidth = maxBubble - 22;
            const Paragraph who = wrap(qt(found->second.sender), captionBold_, innerWidth, {}, 1);
            const Paragraph what = wrap(qt(found->second.text).simplified(), caption_, innerWidth, {}, 2);
            const double boxWidth = std::max(who.size.width(), what.size.width()) + 22;
            const double boxHeight = who.size.height() + what.size.height() + 10;
            if (painter) {
                const QRectF box(left(boxWidth), y, boxWidth, boxHeight);
                painter->setPen(Qt::NoPen);
                painter->setBrush(theme.placeholder);
                painter->drawRoundedRect(box, 10, 10);
                painter->setBrush(theme.secondaryText);
                painter->drawRoundedRect(QRectF(box.left() + 6, box.top() + 6, 3, box.height() - 12), 1.5, 1.5);
                painter->setPen(theme.text);
                who.layout->draw(painter, QPointF(box.left() + 15, box.top() + 5));
                painter->setPen(theme.secondaryText);
                what.layout->draw(painter, QPointF(box.left() + 15, box.top() + 5 + who.size.height()));
            }
            y += boxHeight + gap;
        }
    }

    const auto bubbleShape = [&](const QRectF& rect) {
        QPainterPath path;
        const double radius = std::min(bubbleRadius, rect.height() / 2);
        path.addRoundedRect(rect, radius, radius);
        return path;
    };

    bool drewSomething = false;
    std::optional<int> audioIndex;
    if (message.isAudioMessage)
        for (size_t i = 0; i < message.attachments.size(); ++i)
            if (message.attachments[i].kind() == AttachmentKind::audio) {
                audioIndex = int(i);
                break;
            }

    if (message.isUnsent()) {
        const Paragraph text = wrap(QStringLiteral("Unsent message"), scaled(context_.font, 1.0, QFont::Normal, true),
                                    maxBubble - 2 * bubblePadX);
        const QRectF bubble(left(text.size.width() + 2 * bubblePadX), y, text.size.width() + 2 * bubblePadX,
                            text.size.height() + 2 * bubblePadY);
        if (painter) {
            QPen dashed(theme.secondaryText, 1.2, Qt::DashLine);
            painter->setPen(dashed);
            painter->setBrush(Qt::NoBrush);
            painter->drawPath(bubbleShape(bubble.adjusted(0.6, 0.6, -0.6, -0.6)));
            painter->setPen(theme.secondaryText);
            text.layout->draw(painter, bubble.topLeft() + QPointF(bubblePadX, bubblePadY));
        }
        y += bubble.height() + gap;
        drewSomething = true;
    } else if (message.isAudioMessage) {
        const std::optional<double> duration =
            audioIndex && context_.thumbnails ? context_.thumbnails->duration(message.attachments[size_t(*audioIndex)])
                                              : std::nullopt;
        QString label = QStringLiteral("Audio Message");
        if (duration) label += QStringLiteral("  ") + qt(Formats::duration(*duration));
        const QFontMetricsF metrics(context_.font);
        const double iconSide = metrics.height() + 2;
        const double bubbleWidth = metrics.horizontalAdvance(label) + iconSide + 6 + 2 * bubblePadX;
        const QRectF bubble(left(bubbleWidth), y, bubbleWidth, metrics.height() + 2 * bubblePadY + 2);
        if (painter) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(fill);
            painter->drawPath(bubbleShape(bubble));
            Symbols::draw(*painter, Symbol::waveform,
                          QRectF(bubble.left() + bubblePadX, bubble.center().y() - iconSide / 2, iconSide, iconSide), ink);
            painter->setPen(ink);
            painter->setFont(context_.font);
            painter->drawText(QRectF(bubble.left() + bubblePadX + iconSide + 6, bubble.top(), bubbleWidth, bubble.height()),
                              Qt::AlignVCenter | Qt::AlignLeft, label);
        }
        if (hits && audioIndex) hits->push_back(Hit{bubble, *audioIndex});
        y += bubble.height() + gap;
        drewSomething = true;
    } else if (!message.text.empty() || message.subject) {
        const double inner = maxBubble - 2 * bubblePadX;
        Paragraph subject;
        if (message.subject) subject = wrap(qt(*message.subject), scaled(context_.font, 1.0, QFont::Bold), inner);
        const QString body = qt(message.text);
        const Paragraph text = body.isEmpty() ? Paragraph{} : wrap(body, context_.font, inner, linkFormats(body, message.links));
        const double contentWidth = std::max(subject.size.width(), text.size.width());
        const double contentHeight = subject.size.height() + text.size.height();
        const QRectF bubble(left(contentWidth + 2 * bubblePadX), y, contentWidth + 2 * bubblePadX,
                            contentHeight + 2 * bubblePadY);
        if (painter) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(fill);
            painter->drawPath(bubbleShape(bubble));
            painter->setPen(ink);
            const QPointF at = bubble.topLeft() + QPointF(bubblePadX, bubblePadY);
            if (subject.layout) subject.layout->draw(painter, at);
            if (text.layout) text.layout->draw(painter, at + QPointF(0, subject.size.height()));
        }
        y += bubble.height() + gap;
        drewSomething = true;
    }

    // Attachments, each on a line of its own.
    const QFontMetricsF nameMetrics(fileName_);
    for (size_t i = 0; i < message.attachments.size(); ++i) {
        const Attachment& attachment = message.attachments[i];
        if (audioIndex && int(i) == *audioIndex) continue;
        // Whether a picture's file decodes is known only once it was tried; the row keeps a picture's height
        // either way, so that its measured height never changes.
        const bool picture = attachment.kind() == AttachmentKind::image && attachment.isAvailable;
        if (picture) {
            const double height = attachment.isSticker ? stickerHeight : pictureHeight;
            QImage image;
            if (painter && context_.thumbnails) image = context_.thumbnails->image(attachment);
            double boxWidth = height * 4 / 3;
            if (!image.isNull() && image.height() > 0)
                boxWidth = std::clamp(height * image.width() / image.height(), 80.0, maxBubble);
            const QRectF box(left(boxWidth), y, boxWidth, height);
            if (painter) {
                if (image.isNull()) {
                    painter->setPen(Qt::NoPen);
                    painter->setBrush(theme.placeholder);
                    painter->drawRoundedRect(box, 14, 14);
                    const bool failed = context_.thumbnails && context_.thumbnails->failed(attachment);
                    Symbols::draw(*painter, failed ? Symbol::document : Symbol::photo,
                                  QRectF(box.center() - QPointF(16, failed ? 26 : 16), QSizeF(32, 32)),
                                  theme.secondaryText);
                    if (failed) {
                        // A picture that does not decode is still a file: its name says which.
                        painter->setFont(caption_);
                        painter->setPen(theme.secondaryText);
                        painter->drawText(QRectF(box.left() + 8, box.center().y() + 12, box.width() - 16,
                                                 captionMetrics.height()),
                                          Qt::AlignCenter,
                                          captionMetrics.elidedText(qt(attachment.name), Qt::ElideMiddle, box.width() - 16));
                    }
                } else {
                    // Fill the box, cutting what does not fit from the picture's middle.
                    const QSizeF fitted = QSizeF(image.size()).scaled(box.size(), Qt::KeepAspectRatioByExpanding);
                    const QRectF shown((fitted.width() - box.width()) / 2 * image.width() / fitted.width(),
                                       (fitted.height() - box.height()) / 2 * image.height() / fitted.height(),
                                       box.width() * image.width() / fitted.width(),
                                       box.height() * image.height() / fitted.height());
                    painter->save();
                    if (!attachment.isSticker) {
                        QPainterPath clip;
                        clip.addRoundedRect(box, 14, 14);
                        painter->setClipPath(clip);
                    }
                    painter->drawImage(box, image, shown);
                    painter->restore();
                }
            }
            if (hits) hits->push_back(Hit{box, int(i)});
            y += height + gap;
            drewSomething = true;
            continue;
        }
        const std::optional<double> duration = isMedia(attachment) && attachment.isAvailable && context_.thumbnails
                                                   ? context_.thumbnails->duration(attachment)
                                                   : std::nullopt;
        const QString name = qt(attachment.name.empty() ? std::string("Attachment") : attachment.name);
        const QString detail = fileDetail(attachment, duration);
        const double textWidth = std::max(nameMetrics.horizontalAdvance(name), captionMetrics.horizontalAdvance(detail));
        const double chipWidth = std::clamp(textWidth + 64, 200.0, maxBubble);
        const QRectF chip(left(chipWidth), y, chipWidth, chipHeight);
        if (painter) {
            painter->setPen(QPen(theme.separator, 1));
            painter->setBrush(theme.base);
            painter->drawRoundedRect(chip.adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
            Symbols::draw(*painter, symbolOf(attachment), QRectF(chip.left() + 12, chip.center().y() - 14, 28, 28),
                          attachment.isAvailable ? theme.text : theme.secondaryText);
            const double textLeft = chip.left() + 50, available = chip.right() - 12 - textLeft;
            painter->setFont(fileName_);
            painter->setPen(theme.text);
            painter->drawText(QPointF(textLeft, chip.top() + 9 + nameMetrics.ascent()),
                              nameMetrics.elidedText(name, Qt::ElideMiddle, available));
            painter->setFont(caption_);
            painter->setPen(theme.secondaryText);
            painter->drawText(QPointF(textLeft, chip.top() + 11 + nameMetrics.height() + captionMetrics.ascent()),
                              captionMetrics.elidedText(detail, Qt::ElideRight, available));
        }
        if (hits) hits->push_back(Hit{chip, int(i)});
        y += chip.height() + gap;
        drewSomething = true;
    }

    if (!drewSomething) {
        const Paragraph text = wrap(QStringLiteral("Empty message"), scaled(context_.font, 1.0, QFont::Normal, true),
                                    maxBubble - 2 * bubblePadX);
        const QRectF bubble(left(text.size.width() + 2 * bubblePadX), y, text.size.width() + 2 * bubblePadX,
                            text.size.height() + 2 * bubblePadY);
        if (painter) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(fill);
            painter->drawPath(bubbleShape(bubble));
            painter->setPen(ink);
            text.layout->draw(painter, bubble.topLeft() + QPointF(bubblePadX, bubblePadY));
        }
        y += bubble.height() + gap;
    }

    // Earlier versions of an edited message, oldest first.
    if (message.isEdited()) {
        captionLine(QStringLiteral("Edited"), true);
        for (const EditVersion& version : message.editHistory)
            captionLine(QStringLiteral("Before: ") + qt(version.text), true);
    }
    if (message.effect) captionLine(QStringLiteral("Sent with ") + qt(*message.effect), true);

    // Reactions, as small pills under the bubble.
    if (!message.reactions.empty()) {
        const double pillHeight = captionMetrics.height() + 6;
        std::vector<std::pair<QString, double>> pills;
        for (const Reaction& reaction : message.reactions) {
            const QString text = qt(reaction.emoji) + QStringLiteral(" ") + reactionName(reaction);
            pills.emplace_back(text, captionMetrics.horizontalAdvance(text) + 16);
        }
        // Lines of pills no wider than a bubble.
        std::vector<std::pair<size_t, size_t>> lines;  // [first, last) of each line
        double lineWidth = 0;
        size_t first = 0;
        for (size_t i = 0; i < pills.size(); ++i) {
            if (i > first && lineWidth + pills[i].second > maxBubble) {
                lines.emplace_back(first, i);
                first = i;
                lineWidth = 0;
            }
            lineWidth += pills[i].second + 4;
        }
        lines.emplace_back(first, pills.size());
        for (const auto& [from, to] : lines) {
            double total = -4;
            for (size_t i = from; i < to; ++i) total += pills[i].second + 4;
            double x = mine ? width - margin - total : margin;
            if (painter) {
                for (size_t i = from; i < to; ++i) {
                    const QRectF pill(x, y, pills[i].second, pillHeight);
                    painter->setPen(QPen(theme.separator, 1));
                    painter->setBrush(theme.base);
                    painter->drawRoundedRect(pill.adjusted(0.5, 0.5, -0.5, -0.5), pillHeight / 2, pillHeight / 2);
                    painter->setPen(theme.text);
                    painter->setFont(caption_);
                    painter->drawText(pill, Qt::AlignCenter, pills[i].first);
                    x += pills[i].second + 4;
                }
            }
            y += pillHeight + 3;
        }
    }
    return finish(y + 1);
}

}  // namespace quillmark::app
