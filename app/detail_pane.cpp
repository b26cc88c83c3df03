#include "app/detail_pane.h"

#include <QAction>
#include <QActionGroup>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/batch_view.h"
#include "app/conversation_delegate.h"
#include "app/qt_text.h"
#include "app/theme.h"
#include "app/widgets.h"
#include "core/locale.h"
#include "export/formats.h"

namespace quillmark::app {

namespace {

// The bar over the pane while the history is damaged: the desktop's warning colours.
class DamageBar : public QWidget {
public:
    DamageBar() { setAttribute(Qt::WA_StyledBackground, false); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const Theme theme = Theme::of(palette());
        painter.fillRect(rect(), theme.warning);
        painter.setPen(theme.warning.darker(theme.dark ? 70 : 115));
        painter.drawLine(rect().bottomLeft(), rect().bottomRight());
    }
};

// The page body shown when the chosen dates hold no messages.
QWidget* noMessagesPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("noMessages"));
    QVBoxLayout* column = centredColumn(page, 420);
    column->addWidget(new SymbolView(Symbol::calendar, 48), 0, Qt::AlignHCenter);
    column->addWidget(headingLabel(QStringLiteral("No messages in these dates"), 1.25));
    QLabel* hint = textLabel(QStringLiteral("Choose other dates with the calendar button above."));
    hint->setAlignment(Qt::AlignHCenter);
    hint->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(hint);
    return page;
}

}  // namespace

DetailPane::DetailPane(AppModel& model, Thumbnails& thumbnails, std::shared_ptr<const ViewDates> dates,
                       QAction* exportAction, QWidget* parent)
    : QWidget(parent), model_(model), viewDates_(dates), exportAction_(exportAction) {
    setObjectName(QStringLiteral("detail"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The damaged-history bar.
    damageBar_ = new DamageBar;
    damageBar_->setObjectName(QStringLiteral("damageBar"));
    auto* barLayout = new QHBoxLayout(damageBar_);
    barLayout->setContentsMargins(14, 9, 14, 9);
    barLayout->setSpacing(10);
    auto* barSymbol = new SymbolView(Symbol::warning, 20, false);
    barLayout->addWidget(barSymbol, 0, Qt::AlignTop);
    damageText_ = textLabel(QStringLiteral(
        "This history is damaged: SQLite's integrity check found problems. Quillmark shows what it can read but "
        "exports nothing from it; copy the history again from where it came from."));
    damageText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    barLayout->addWidget(damageText_, 1);
    layout->addWidget(damageBar_);
    damageBar_->setVisible(false);
    const auto showDamage = [this] {
        damageBar_->setVisible(!model_.damage().isEmpty());
        QPalette barPalette = palette();
        const Theme theme = Theme::of(palette());
        barPalette.setColor(QPalette::WindowText, theme.onWarning);
        barPalette.setColor(QPalette::Text, theme.onWarning);
        damageBar_->setPalette(barPalette);
        damageBar_->setToolTip(model_.damage());
    };
    connect(&model_, &AppModel::damageChanged, this, showDamage);

    pages_ = new QStackedWidget;
    layout->addWidget(pages_, 1);

    // Nothing chosen.
    empty_ = new QWidget;
    empty_->setObjectName(QStringLiteral("emptyChoice"));
    {
        QVBoxLayout* column = centredColumn(empty_, 420);
        column->addWidget(new SymbolView(Symbol::chats, 56), 0, Qt::AlignHCenter);
        column->addWidget(headingLabel(QStringLiteral("Choose a conversation"), 1.3));
        QLabel* hint = textLabel(QStringLiteral("Pick someone on the left to see your messages and export them."));
        hint->setAlignment(Qt::AlignHCenter);
        hint->setForegroundRole(QPalette::PlaceholderText);
        column->addWidget(hint);
    }
    pages_->addWidget(empty_);

    loading_ = new QWidget;
    loading_->setObjectName(QStringLiteral("threadLoading"));
    centredColumn(loading_, 64)->addWidget(new Spinner(32), 0, Qt::AlignHCenter);
    pages_->addWidget(loading_);

    batch_ = new BatchView(model, dates, exportAction);
    pages_->addWidget(batch_);

    // One conversation: the header over the thread.
    threadPage_ = new QWidget;
    auto* threadLayout = new QVBoxLayout(threadPage_);
    threadLayout->setContentsMargins(0, 0, 0, 0);
    threadLayout->setSpacing(0);
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("titleBlock"));
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(18, 10, 12, 10);
    headerLayout->setSpacing(8);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    title_ = new QLabel;
    title_->setObjectName(QStringLiteral("threadTitle"));
    title_->setFont(scaledFont(title_->font(), 1.3, QFont::Bold));
    title_->setTextFormat(Qt::PlainText);
    title_->setMinimumWidth(80);
    title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    subtitle_ = new QLabel;
    subtitle_->setObjectName(QStringLiteral("threadSubtitle"));
    subtitle_->setTextFormat(Qt::PlainText);
    subtitle_->setForegroundRole(QPalette::PlaceholderText);
    subtitle_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    titles->addWidget(title_);
    titles->addWidget(subtitle_);
    headerLayout->addLayout(titles, 1);

    dates_ = new QToolButton;
    dates_->setObjectName(QStringLiteral("datesButton"));
    dates_->setToolTip(QStringLiteral("Which dates to show and export"));
    dates_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    dates_->setPopupMode(QToolButton::InstantPopup);
    dates_->setAutoRaise(false);
    auto* menu = new QMenu(QStringLiteral("Dates"), dates_);
    choices_ = new QActionGroup(menu);
    for (const AppModel::RangeChoice choice : AppModel::rangeChoices) {
        QAction* action = menu->addAction(AppModel::title(choice));
        action->setCheckable(true);
        action->setData(AppModel::rawValue(choice));
        choices_->addAction(action);
        connect(action, &QAction::triggered, this, [this, choice] {
            if (choice == AppModel::RangeChoice::custom) {
                chooseCustomDates();
            } else {
                model_.setRange(choice);
            }
        });
    }
    dates_->setMenu(menu);
    headerLayout->addWidget(dates_, 0, Qt::AlignVCenter);

    auto* exportButton = new QToolButton;
    exportButton->setObjectName(QStringLiteral("exportButton"));
    exportButton->setDefaultAction(exportAction);
    exportButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    headerLayout->addWidget(exportButton, 0, Qt::AlignVCenter);
    threadLayout->addWidget(header);
    auto* rule = new QFrame;
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setForegroundRole(QPalette::Mid);
    threadLayout->addWidget(rule);

    threadBody_ = new QStackedWidget;
    threadView_ = new ThreadView(thumbnails, dates);
    threadBody_->addWidget(threadView_);
    noMessages_ = noMessagesPage();
    threadBody_->addWidget(noMessages_);
    auto* failurePage = new QWidget;
    {
        QVBoxLayout* column = centredColumn(failurePage, 460);
        column->addWidget(new SymbolView(Symbol::warning, 48), 0, Qt::AlignHCenter);
        column->addWidget(headingLabel(QStringLiteral("Quillmark can't read this conversation"), 1.25));
        threadFailure_ = textLabel({});
        threadFailure_->setAlignment(Qt::AlignHCenter);
        threadFailure_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        column->addWidget(threadFailure_);
    }
    threadBody_->addWidget(failurePage);
    threadLayout->addWidget(threadBody_, 1);
    pages_->addWidget(threadPage_);

    connect(&model_, &AppModel::rangeChanged, this, &DetailPane::showRange);
    showRange();

    connect(&model_, &AppModel::selectionChanged, this, &DetailPane::showPage);
    connect(&model_, &AppModel::threadChanged, this, &DetailPane::showThread);
    connect(&model_, &AppModel::threadLoadingChanged, this, &DetailPane::showPage);
    paintSymbols();
    showThread();
    showPage();
    showDamage();
}

void DetailPane::showRange() {
    const QString raw = AppModel::rawValue(model_.range());
    for (QAction* action : choices_->actions()) action->setChecked(action->data().toString() == raw);
    const QTimeZone zone = qtZone(viewDates_->zone());
    dates_->setText(model_.range() == AppModel::RangeChoice::custom
                        ? viewDates_->span(engineDate(model_.customStart().startOfDay(zone)),
                                           engineDate(model_.customEnd().startOfDay(zone)))
                        : AppModel::title(model_.range()));
}

void DetailPane::datesChanged() {
    showRange();
    threadView_->datesChanged();
    if (model_.thread()) subtitle_->setText(subtitle(*model_.thread(), *viewDates_));
}

void DetailPane::paintSymbols() {
    // Drawn symbols take the palette's colour, so they are drawn again when it changes.
    const QColor ink = palette().color(QPalette::ButtonText);
    dates_->setIcon(Symbols::icon(Symbol::calendar, ink));
    exportAction_->setIcon(Symbols::icon(Symbol::share, ink));
}

void DetailPane::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) paintSymbols();
    QWidget::changeEvent(event);
}

DetailPane::Page DetailPane::page() const {
    QWidget* current = pages_->currentWidget();
    if (current == batch_) return Page::batch;
    if (current == loading_) return Page::loading;
    if (current == threadPage_) return Page::thread;
    return Page::empty;
}

void DetailPane::showPage() {
    const size_t chosen = model_.selection().size();
    if (chosen > 1) {
        pages_->setCurrentWidget(batch_);
    } else if (chosen == 1 && (model_.thread() || !model_.threadFailure().isEmpty())) {
        pages_->setCurrentWidget(threadPage_);
    } else if (chosen == 1 && model_.threadLoading()) {
        pages_->setCurrentWidget(loading_);
    } else {
        pages_->setCurrentWidget(empty_);
    }
}

QString DetailPane::subtitle(const MessageThread& thread, const ViewDates& dates) {
    const std::string locale = userLocale(LocaleCategory::messages);
    QString line = qt(Formats::integer(int64_t(thread.messages.size()), locale)) + QStringLiteral(" messages");
    if (const int64_t attachments = thread.attachmentCount(); attachments > 0)
        line += QStringLiteral(" · ") + qt(Formats::integer(attachments, locale)) + QStringLiteral(" attachments");
    const auto first = thread.firstDate(), last = thread.lastDate();
    if (first && last && !first->isDistantPast()) line += QStringLiteral(" · ") + dates.span(*first, *last);
    return line;
}

void DetailPane::showThread() {
    const auto& thread = model_.thread();
    threadView_->setThread(thread);
    if (thread) {
        title_->setText(qt(thread->conversation.title(userLocale(LocaleCategory::messages))));
        subtitle_->setText(subtitle(*thread, *viewDates_));
        threadBody_->setCurrentWidget(thread->messages.empty() ? noMessages_ : threadView_);
    } else if (!model_.threadFailure().isEmpty()) {
        const auto selected = model_.selectedConversations();
        title_->setText(selected.empty() ? QString() : qt(selected.front().title(userLocale(LocaleCategory::messages))));
        subtitle_->clear();
        threadFailure_->setText(model_.threadFailure());
        threadBody_->setCurrentIndex(2);
    }
    showPage();
}

void DetailPane::chooseCustomDates() {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Custom Dates"));
    auto* layout = new QVBoxLayout(&dialog);
    QLabel* caption = new QLabel(QStringLiteral("Show messages"));
    caption->setFont(scaledFont(caption->font(), 1.0, QFont::DemiBold));
    layout->addWidget(caption);
    auto* form = new QFormLayout;
    auto* from = new QDateEdit(model_.customStart());
    auto* to = new QDateEdit(model_.customEnd());
    for (QDateEdit* edit : {from, to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    }
    from->setObjectName(QStringLiteral("customFrom"));
    to->setObjectName(QStringLiteral("customTo"));
    form->addRow(QStringLiteral("From"), from);
    form->addRow(QStringLiteral("To"), to);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton* show = buttons->addButton(QStringLiteral("Show"), QDialogButtonBox::AcceptRole);
    show->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() == QDialog::Accepted) {
        model_.showCustomDates(from->date(), to->date());
    } else {
        // The menu's check mark goes back to the range in force.
        showRange();
    }
}

}  // namespace quillmark::app
