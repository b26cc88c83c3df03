// Avatar: a conversation's circle: the initials of its one participant, a two-person symbol for a group, or a
// person symbol when there are no initials.
//
//   Avatar::paint(painter, QRectF(12, 12, 40, 40), conversation, theme);
#pragma once

#include <QPainter>
#include <QRectF>

#include "app/theme.h"
#include "conversations/conversation.h"

namespace quillmark::app::Avatar {

void paint(QPainter& painter, const QRectF& rect, const Conversation& conversation, const Theme& theme);

}  // namespace quillmark::app::Avatar
