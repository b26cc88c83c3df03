#include "app/symbols.h"

#include <cmath>

#include <QHash>
#include <QPainterPath>
#include <QPixmap>

namespace quillmark::app {

namespace {

// Names in the freedesktop icon naming scheme and the common themes, most specific first.
QStringList themeNames(Symbol symbol) {
    switch (symbol) {
        case Symbol::calendar: return {"x-office-calendar-symbolic", "x-office-calendar", "view-calendar"};
        case Symbol::share: return {"document-export-symbolic", "document-export", "document-send"};
        case Symbol::person: return {"avatar-default-symbolic", "avatar-default", "user-identity"};
        case Symbol::group: return {"system-users-symbolic", "system-users", "group"};
        case Symbol::film: return {"video-x-generic-symbolic", "video-x-generic"};
        case Symbol::waveform: return {"audio-x-generic-symbolic", "audio-x-generic"};
        case Symbol::photo: return {"image-x-generic-symbolic", "image-x-generic"};
        case Symbol::document: return {"text-x-generic-symbolic", "text-x-generic", "application-x-generic"};
        case Symbol::warning: return {"dialog-warning-symbolic", "dialog-warning"};
        case Symbol::lock: return {"changes-prevent-symbolic", "system-lock-screen", "object-locked"};
        case Symbol::chats: return {"mail-message-new-symbolic", "internet-chat", "im-message-new"};
        case Symbol::folder: return {"folder-symbolic", "folder"};
        case Symbol::missing: return {"image-missing-symbolic", "image-missing"};
        case Symbol::search: return {"edit-find-symbolic", "edit-find", "system-search"};
        case Symbol::reply: return {"mail-reply-sender-symbolic", "mail-reply-sender"};
        case Symbol::refresh: return {"view-refresh-symbolic", "view-refresh"};
        case Symbol::clock: return {"preferences-system-time-symbolic", "clock", "chronometer"};
        case Symbol::copy: return {"edit-copy-symbolic", "edit-copy"};
        case Symbol::sealCheck:
        case Symbol::octagon: return {};
    }
    return {};
}

QIcon themeIcon(Symbol symbol) {
    if (QIcon::themeName().isEmpty()) return {};
    for (const QString& name : themeNames(symbol))
        if (QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return {};
}

QPainterPath bubble(double x, double y, double w, double h, bool tailLeft) {
    QPainterPath path;
    path.addRoundedRect(x, y, w, h, h * 0.45, h * 0.45);
    QPainterPath tail;
    const double tx = tailLeft ? x + w * 0.22 : x + w * 0.78;
    tail.moveTo(tx - 2, y + h - 1);
    tail.lineTo(tailLeft ? tx - 4 : tx + 4, y + h + 3.5);
    tail.lineTo(tx + 2.5, y + h - 1);
    return path.united(tail);
}

// A verdict's shape filled in the pen's colour, and its mark over it in white; the pen stays white.
void fillWithMark(QPainter& p, const QPainterPath& shape, const QPolygonF& mark) {
    const QColor colour = p.pen().color();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(shape);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(mark);
}

// The drawings, on a 24 × 24 grid.
void drawOnGrid(QPainter& p, Symbol symbol) {
    switch (symbol) {
        case Symbol::calendar:
            p.drawRoundedRect(QRectF(3.5, 5, 17, 15), 2.5, 2.5);
            p.drawLine(QPointF(3.5, 9.5), QPointF(20.5, 9.5));
            p.drawLine(QPointF(8, 3), QPointF(8, 6.5));
            p.drawLine(QPointF(16, 3), QPointF(16, 6.5));
            for (int row = 0; row < 2; ++row)
                for (int col = 0; col < 3; ++col) p.drawPoint(QPointF(8 + col * 4, 13 + row * 3.5));
            return;
        case Symbol::share: {
            QPainterPath box;
            box.moveTo(8, 10);
            box.lineTo(5.5, 10);
            box.lineTo(5.5, 20.5);
            box.lineTo(18.5, 20.5);
            box.lineTo(18.5, 10);
            box.lineTo(16, 10);
            p.drawPath(box);
            p.drawLine(QPointF(12, 3.5), QPointF(12, 14));
            p.drawLine(QPointF(8.5, 7), QPointF(12, 3.5));
            p.drawLine(QPointF(15.5, 7), QPointF(12, 3.5));
            return;
        }
        case Symbol::person:
            p.drawEllipse(QPointF(12, 8.5), 4, 4);
            p.drawArc(QRectF(4.5, 14, 15, 12), 0, 180 * 16);
            return;
        case Symbol::group:
            p.drawEllipse(QPointF(9, 9), 3.2, 3.2);
            p.drawArc(QRectF(3, 14.5, 12, 10), 0, 180 * 16);
            p.drawEllipse(QPointF(16.5, 8), 2.8, 2.8);
            p.drawArc(QRectF(13, 13, 9.5, 8), 20 * 16, 160 * 16);
            return;
        case Symbol::film:
            p.drawRoundedRect(QRectF(3.5, 6, 12, 12), 2, 2);
            p.drawLine(QPointF(15.5, 10.5), QPointF(20.5, 7.5));
            p.drawLine(QPointF(20.5, 7.5), QPointF(20.5, 16.5));
            p.drawLine(QPointF(20.5, 16.5), QPointF(15.5, 13.5));
            return;
        case Symbol::waveform: {
            const double heights[] = {4, 9, 14, 7, 11, 5, 8};
            for (int i = 0; i < 7; ++i) {
                const double x = 4.5 + i * 2.5, h = heights[i];
                p.drawLine(QPointF(x, 12 - h / 2), QPointF(x, 12 + h / 2));
            }
            return;
        }
        case Symbol::photo: {
            p.drawRoundedRect(QRectF(3.5, 5, 17, 14), 2, 2);
            p.drawEllipse(QPointF(9, 10), 1.6, 1.6);
            QPainterPath hills;
            hills.moveTo(3.8, 17);
            hills.lineTo(9.5, 12.5);
            hills.lineTo(13, 15.5);
            hills.lineTo(16, 13);
            hills.lineTo(20.2, 16.5);
            p.drawPath(hills);
            return;
        }
        case Symbol::document: {
            QPainterPath page;
            page.moveTo(6, 3.5);
            page.lineTo(14, 3.5);
            page.lineTo(18.5, 8);
            page.lineTo(18.5, 20.5);
            page.lineTo(6, 20.5);
            page.closeSubpath();
            p.drawPath(page);
            p.drawLine(QPointF(14, 3.5), QPointF(14, 8));
            p.drawLine(QPointF(14, 8), QPointF(18.5, 8));
            p.drawLine(QPointF(9, 12.5), QPointF(15.5, 12.5));
            p.drawLine(QPointF(9, 16), QPointF(15.5, 16));
            return;
        }
        case Symbol::warning: {
            QPainterPath triangle;
            triangle.moveTo(12, 3.5);
            triangle.lineTo(21, 19.5);
            triangle.lineTo(3, 19.5);
            triangle.closeSubpath();
            p.drawPath(triangle);
            p.drawLine(QPointF(12, 9), QPointF(12, 14));
            p.drawPoint(QPointF(12, 17));
            return;
        }
        case Symbol::lock:
            p.drawRoundedRect(QRectF(5, 10.5, 14, 10), 2, 2);
            p.drawArc(QRectF(8, 4, 8, 11), 0, 180 * 16);
            p.drawLine(QPointF(8, 9.5), QPointF(8, 10.5));
            p.drawLine(QPointF(16, 9.5), QPointF(16, 10.5));
            p.drawLine(QPointF(12, 14.5), QPointF(12, 16.5));
            return;
        case Symbol::chats:
            p.drawPath(bubble(2.5, 4, 13, 9, true));
            p.drawPath(bubble(9, 11, 12.5, 8.5, false));
            return;
        case Symbol::folder: {
            QPainterPath folder;
            folder.moveTo(3.5, 18.5);
            folder.lineTo(3.5, 6);
            folder.lineTo(9.5, 6);
            folder.lineTo(11.5, 8);
            folder.lineTo(20.5, 8);
            folder.lineTo(20.5, 18.5);
            folder.closeSubpath();
            p.drawPath(folder);
            p.drawLine(QPointF(3.5, 11), QPointF(20.5, 11));
            return;
        }
        case Symbol::missing: {
            // A cloud, crossed out: the file is elsewhere, not in this history.
            QPainterPath cloud;
            cloud.moveTo(7, 18);
            cloud.arcTo(QRectF(3, 11, 7, 7), 270, -180);
            cloud.arcTo(QRectF(6.5, 5.5, 10, 10), 160, -150);
            cloud.arcTo(QRectF(14, 10, 7.5, 8), 90, -180);
            cloud.closeSubpath();
            p.drawPath(cloud);
            p.drawLine(QPointF(4, 4), QPointF(20, 20));
            return;
        }
        case Symbol::search:
            p.drawEllipse(QPointF(10.5, 10.5), 5.5, 5.5);
            p.drawLine(QPointF(14.5, 14.5), QPointF(19.5, 19.5));
            return;
        case Symbol::reply: {
            QPainterPath arrow;
            arrow.moveTo(9, 6);
            arrow.lineTo(4, 11);
            arrow.lineTo(9, 16);
            p.drawPath(arrow);
            QPainterPath tail;
            tail.moveTo(4.5, 11);
            tail.lineTo(14, 11);
            tail.cubicTo(18, 11, 20, 13.5, 20, 18);
            p.drawPath(tail);
            return;
        }
        case Symbol::clock:
            p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
            p.drawLine(QPointF(12, 7), QPointF(12, 12));
            p.drawLine(QPointF(12, 12), QPointF(15.5, 14));
            return;
        case Symbol::copy:
            p.drawRoundedRect(QRectF(8.5, 8.5, 11, 12), 2, 2);
            p.drawLine(QPointF(5.5, 15.5), QPointF(4.5, 15.5));
            p.drawPolyline(QPolygonF({QPointF(4.5, 15.5), QPointF(4.5, 3.5), QPointF(14.5, 3.5), QPointF(14.5, 5.5)}));
            return;
        case Symbol::sealCheck: {
            // Twelve points around a circle, the check mark inside in white.
            QPainterPath seal;
            for (int i = 0; i < 24; ++i) {
                const double angle = M_PI * 2 * i / 24 - M_PI / 2, radius = i % 2 ? 8.6 : 10.4;
                const QPointF point(12 + radius * std::cos(angle), 12 + radius * std::sin(angle));
                i == 0 ? seal.moveTo(point) : seal.lineTo(point);
            }
            seal.closeSubpath();
            fillWithMark(p, seal, {QPointF(8, 12.3), QPointF(10.8, 15), QPointF(16, 9.2)});
            return;
        }
        case Symbol::octagon: {
            QPainterPath octagon;
            for (int i = 0; i < 8; ++i) {
                const double angle = M_PI * 2 * (i + 0.5) / 8;
                const QPointF point(12 + 10.2 * std::cos(angle), 12 + 10.2 * std::sin(angle));
                i == 0 ? octagon.moveTo(point) : octagon.lineTo(point);
            }
            octagon.closeSubpath();
            fillWithMark(p, octagon, {QPointF(8.5, 8.5), QPointF(15.5, 15.5)});
            p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
            return;
        }
        case Symbol::refresh: {
            p.drawArc(QRectF(5, 5, 14, 14), 60 * 16, 300 * 16);
            QPainterPath head;
            head.moveTo(15.5, 3.5);
            head.lineTo(16, 7.5);
            head.lineTo(12, 8);
            p.drawPath(head);
            return;
        }
    }
}

}  // namespace

namespace Symbols {

void draw(QPainter& painter, Symbol symbol, const QRectF& rect, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(rect.width(), rect.height());
    painter.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    painter.scale(side / 24.0, side / 24.0);
    QPen pen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    drawOnGrid(painter, symbol);
    painter.restore();
}

void paint(QPainter& painter, Symbol symbol, const QRectF& rect, const QColor& colour) {
    const QIcon theme = themeIcon(symbol);
    if (!theme.isNull()) {
        theme.paint(&painter, rect.toRect());
        return;
    }
    draw(painter, symbol, rect, colour);
}

QIcon icon(Symbol symbol, const QColor& colour) {
    const QIcon theme = themeIcon(symbol);
    if (!theme.isNull()) return theme;
    QIcon drawn;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        for (const int scale : {1, 2}) {
            QPixmap pixmap(size * scale, size * scale);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            draw(painter, symbol, QRectF(0, 0, size * scale, size * scale), colour);
            painter.end();
            pixmap.setDevicePixelRatio(scale);
            drawn.addPixmap(pixmap);
        }
    }
    return drawn;
}

}  // namespace Symbols

}  // namespace quillmark::app
