#include "app/avatar.h"

#include "app/qt_text.h"
#include "app/symbols.h"

namespace quillmark::app::Avatar {

void paint(QPainter& painter, const QRectF& rect, const Conversation& conversation, const Theme& theme) {
    const QString initials =
        !conversation.isGroup && conversation.participants.size() == 1 ? qt(conversation.participants.front().initials())
                                                                        : QString();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme.avatar(qt(conversation.id)));
    painter.drawEllipse(rect);
    if (initials.isEmpty()) {
        const double inset = rect.width() * 0.22;
        Symbols::draw(painter, conversation.isGroup ? Symbol::group : Symbol::person,
                      rect.adjusted(inset, inset, -inset, -inset), Qt::white);
    } else {
        QFont font = painter.font();
        font.setPixelSize(int(rect.height() * 0.38));
        font.setWeight(QFont::DemiBold);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(rect, Qt::AlignCenter, initials);
    }
    painter.restore();
}

}  // namespace quillmark::app::Avatar
