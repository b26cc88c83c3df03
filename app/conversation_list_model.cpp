#include "app/conversation_list_model.h"

#include "app/qt_text.h"

namespace quillmark::app {

ConversationListModel::ConversationListModel(AppModel& model, std::function<std::vector<int>()> rows, QObject* parent)
    : QAbstractListModel(parent), model_(model), source_(std::move(rows)), rows_(source_()) {}

int ConversationListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant ConversationListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    const int conversation = rows_[size_t(index.row())];
    if (conversation >= int(model_.conversations().size())) return {};
    switch (role) {
        case Qt::DisplayRole: return model_.conversationList().titles[size_t(conversation)];
        case ConversationRole: return conversation;
        case IdRole: return qt(model_.conversations()[size_t(conversation)].id);
        default: return {};
    }
}

int ConversationListModel::row(const QString& id) const {
    // The rows may still be those of the list before (the model announces a new list before it filters it).
    const auto& conversations = model_.conversations();
    for (size_t i = 0; i < rows_.size(); ++i)
        if (size_t(rows_[i]) < conversations.size() && qt(conversations[size_t(rows_[i])].id) == id) return int(i);
    return -1;
}

void ConversationListModel::refresh() {
    beginResetModel();
    rows_ = source_();
    endResetModel();
}

}  // namespace quillmark::app
