#include "app/conversation_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include "app/avatar.h"
#include "app/conversation_list_model.h"
#include "app/qt_text.h"
#include "app/theme.h"
#include "app/widgets.h"
#include "core/locale.h"
#include "export/formats.h"

namespace quillmark::app {

namespace {

constexpr int padding = 10;
constexpr int inset = 6;  // between the list's edge and a chosen row's rounded background

}  // namespace

ConversationDelegate::ConversationDelegate(AppModel& model, std::shared_ptr<const ViewDates> dates, bool compact,
                                           QObject* parent)
    : QStyledItemDelegate(parent), model_(model), dates_(std::move(dates)), compact_(compact) {}

QString ConversationDelegate::messageCount(int64_t count) {
    return qt(Formats::integer(count, userLocale(LocaleCategory::messages))) +
           (count == 1 ? QStringLiteral(" message") : QStringLiteral(" messages"));
}

QSize ConversationDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const QFontMetrics title(scaledFont(option.font, 1.0, QFont::DemiBold)), small(scaledFont(option.font, 0.9));
    if (compact_) return {200, std::max(40, title.height()) + 2 * 6};
    return {200, padding * 2 + title.height() + 2 + small.height() * 2 + 1};
}

void ConversationDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int at = index.data(ConversationListModel::ConversationRole).toInt();
    if (at < 0 || at >= int(model_.conversations().size())) return;
    const Conversation& conversation = model_.conversations()[size_t(at)];
    const QString title = model_.conversationList().titles[size_t(at)];
    const Theme theme = Theme::of(option.palette);
    const bool chosen = option.state & QStyle::State_Selected;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF row = QRectF(option.rect).adjusted(inset, 1, -inset, -1);
    if (chosen) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(theme.accent);
        painter->drawRoundedRect(row, 8, 8);
    } else if (option.state & QStyle::State_MouseOver) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(theme.placeholder);
        painter->drawRoundedRect(row, 8, 8);
    }
    const QColor primary = chosen ? theme.onAccent : theme.text;
    QColor secondary = chosen ? theme.onAccent : theme.secondaryText;
    if (chosen) secondary.setAlphaF(0.85f);

    const QFont titleFont = scaledFont(option.font, 1.0, QFont::DemiBold), smallFont = scaledFont(option.font, 0.9);
    const QFontMetrics titleMetrics(titleFont), smallMetrics(smallFont);

    if (compact_) {
        const double side = row.height() - 8;
        Avatar::paint(*painter, QRectF(row.left() + 6, row.top() + 4, side, side), conversation, theme);
        const double textLeft = row.left() + 6 + side + 10;
        const QString count = messageCount(conversation.messageCount);
        const int countWidth = smallMetrics.horizontalAdvance(count);
        painter->setFont(smallFont);
        painter->setPen(secondary);
        painter->drawText(QRectF(row.right() - countWidth - 10, row.top(), countWidth, row.height()),
                          Qt::AlignVCenter | Qt::AlignRight, count);
        painter->setFont(titleFont);
        painter->setPen(primary);
        const double titleWidth = row.right() - countWidth - 20 - textLeft;
        painter->drawText(QRectF(textLeft, row.top(), titleWidth, row.height()), Qt::AlignVCenter | Qt::AlignLeft,
                          titleMetrics.elidedText(title, Qt::ElideRight, int(titleWidth)));
        painter->restore();
        return;
    }

    const double side = 42;
    Avatar::paint(*painter, QRectF(row.left() + padding, row.center().y() - side / 2, side, side), conversation, theme);
    const double left = row.left() + padding + side + 12, right = row.right() - padding;
    double y = row.top() + padding - 1;

    const QString date =
        conversation.lastDate ? dates_->shortDate(*conversation.lastDate, engineDate(model_.now())) : QString();
    const int dateWidth = smallMetrics.horizontalAdvance(date);
    painter->setFont(smallFont);
    painter->setPen(secondary);
    painter->drawText(QRectF(right - dateWidth, y, dateWidth, titleMetrics.height()), Qt::AlignRight | Qt::AlignVCenter,
                      date);
    painter->setFont(titleFont);
    painter->setPen(primary);
    const double titleWidth = right - left - dateWidth - 8;
    painter->drawText(QRectF(left, y, titleWidth, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(title, Qt::ElideRight, int(titleWidth)));
    y += titleMetrics.height() + 2;

    painter->setFont(smallFont);
    painter->setPen(chosen ? primary : theme.text);
    QString snippet = qt(conversation.lastSnippet).simplified();
    painter->drawText(QRectF(left, y, right - left, smallMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      smallMetrics.elidedText(snippet, Qt::ElideRight, int(right - left)));
    y += smallMetrics.height() + 1;
    painter->setPen(secondary);
    painter->drawText(QRectF(left, y, right - left, smallMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      messageCount(conversation.messageCount));
    painter->restore();
}

}  // namespace quillmark::app
