#include "app/export_sheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/desktop.h"
#include "app/qt_text.h"
#include "app/sheet_parts.h"
#include "app/theme.h"
#include "app/widgets.h"
#include "core/locale.h"
#include "export/formats.h"

namespace quillmark::app {

namespace {

// The folder the last destination was chosen in, for this run: the next dialog opens there.
QString& lastFolder() {
    static QString folder;
    return folder;
}

QString startFolder() {
    if (!lastFolder().isEmpty() && QFileInfo(lastFolder()).isDir()) return lastFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

// A small picture of a page of the layout: the record's rows of times and text, the book's bubbles.
class PagePreview : public QWidget {
public:
    explicit PagePreview(ExportLayout layout) : layout_(layout) {
        setFixedSize(46, 60);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const Theme theme = Theme::of(palette());
        const QRectF page = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
        p.setPen(QPen(theme.separator.darker(theme.dark ? 60 : 120), 1));
        p.setBrush(theme.dark ? QColor(0x3a, 0x3a, 0x3a) : QColor(Qt::white));
        p.drawRoundedRect(page, 3, 3);
        p.setPen(Qt::NoPen);
        const QColor ink = theme.secondaryText;
        if (layout_ == ExportLayout::record) {
            p.setBrush(ink);
            p.drawRect(QRectF(page.left() + 5, page.top() + 5, page.width() - 10, 2));
            for (int row = 0; row < 7; ++row) {
                const double y = page.top() + 12 + row * 6;
                p.setBrush(theme.accent);
                p.drawRect(QRectF(page.left() + 5, y, 7, 2));
                p.setBrush(ink);
                p.drawRect(QRectF(page.left() + 14, y, page.width() - 19 - (row % 3) * 5, 2));
            }
            p.drawRect(QRectF(page.center().x() - 4, page.bottom() - 5, 8, 1.5));
        } else {
            for (int row = 0; row < 5; ++row) {
                const bool mine = row % 2 == 1;
                const double w = 18 + (row * 7) % 9, y = page.top() + 6 + row * 10;
                p.setBrush(mine ? theme.accent : theme.incoming.darker(theme.dark ? 80 : 112));
                p.drawRoundedRect(QRectF(mine ? page.right() - 4 - w : page.left() + 4, y, w, 7), 3.5, 3.5);
            }
        }
    }

private:
    ExportLayout layout_;
};

}  // namespace

// A layout to choose: a card with a picture of its page, its title and its description; the chosen one has
// the accent's border.
class LayoutCard : public QAbstractButton {
public:
    explicit LayoutCard(ExportLayout layout) {
        setCheckable(true);
        setAutoExclusive(true);
        setFocusPolicy(Qt::StrongFocus);
        setObjectName(qt(layout.rawValue()) + QStringLiteral("Card"));
        setAccessibleName(qt(layout.title()));
        setAccessibleDescription(qt(layout.description()));
        setCursor(Qt::PointingHandCursor);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(14, 12, 14, 12);
        row->setSpacing(12);
        row->addWidget(new PagePreview(layout), 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(3);
        auto* title = new QLabel(qt(layout.title()));
        title->setFont(scaledFont(title->font(), 1.05, QFont::DemiBold));
        auto* description = textLabel(qt(layout.description()));
        description->setFont(scaledFont(description->font(), 0.92));
        for (QLabel* label : {title, description}) label->setAttribute(Qt::WA_TransparentForMouseEvents);
        texts->addWidget(title);
        texts->addWidget(description);
        texts->addStretch();
        row->addLayout(texts, 1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }

    QSize sizeHint() const override { return layout()->totalSizeHint(); }
    QSize minimumSizeHint() const override { return layout()->totalMinimumSize(); }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return layout()->totalHeightForWidth(width); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const Theme theme = Theme::of(palette());
        const bool chosen = isChecked();
        const double pen = chosen ? 2 : 1;
        const QRectF box = QRectF(rect()).adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
        QColor fill = theme.base;
        if (chosen) fill = QColor::fromRgbF(float(theme.accent.redF() * 0.08 + fill.redF() * 0.92),
                                            float(theme.accent.greenF() * 0.08 + fill.greenF() * 0.92),
                                            float(theme.accent.blueF() * 0.08 + fill.blueF() * 0.92));
        p.setBrush(isEnabled() ? fill : theme.window);
        p.setPen(QPen(chosen && isEnabled() ? theme.accent : theme.separator.darker(theme.dark ? 70 : 110), pen));
        p.drawRoundedRect(box, 10, 10);
        if (hasFocus()) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(theme.accent, 1, Qt::DotLine));
            p.drawRoundedRect(box.adjusted(3, 3, -3, -3), 8, 8);
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        // Left and right move between the two cards, as between radio buttons.
        if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
            for (QAbstractButton* other : group() ? group()->buttons() : QList<QAbstractButton*>{})
                if (other != this && other->isEnabled()) {
                    other->setFocus();
                    other->click();
                    return;
                }
        }
        QAbstractButton::keyPressEvent(event);
    }
};

namespace {

QString count(int64_t value, const char* one, const char* many) {
    const QString number = qt(Formats::integer(value, userLocale(LocaleCategory::messages)));
    return number + QLatin1Char(' ') + QString::fromUtf8(value == 1 ? one : many);
}

}  // namespace

ExportSheet::ExportSheet(AppModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    setObjectName(QStringLiteral("exportSheet"));
    setWindowModality(Qt::WindowModal);
    setModal(true);
    if (model_.selection().size() > 1) batch_ = model_.selectedConversations();
    if (batch_.empty()) thread_ = model_.thread();
    layout_ = model_.lastLayout();
    askForPlace = [this](const PlaceRequest& request) { return askWithDialog(this, request); };
    setWindowTitle(title());
    setFixedWidth(580);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 22, 24, 20);
    pages_ = new SheetPages;
    pages_->addPage(makeChoosePage());
    pages_->addPage(makeWorkingPage());
    pages_->addPage(makeDonePage());
    pages_->addPage(makeFailedPage());
    column->addWidget(pages_);

    connect(&model_, &AppModel::settingChanged, this, &ExportSheet::showChoices);
    pick(layout_);
    pick(format_);
    setPhase(Phase::choose);
}

QString ExportSheet::title() const {
    if (isBatch()) return QStringLiteral("Export %1 Conversations").arg(batch_.size());
    const QString name = thread_ ? qt(thread_->conversation.title(userLocale(LocaleCategory::messages))) : QString();
    return QStringLiteral("Export ") + name;
}

QWidget* ExportSheet::makeChoosePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("choosePage"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    QLabel* heading = sheetHeading(title());
    heading->setObjectName(QStringLiteral("sheetTitle"));
    column->addWidget(heading);

    auto* cards = new QHBoxLayout;
    cards->setSpacing(12);
    auto* group = new QButtonGroup(page);
    record_ = new LayoutCard(ExportLayout::record);
    book_ = new LayoutCard(ExportLayout::book);
    for (LayoutCard* card : {record_, book_}) {
        group->addButton(card);
        cards->addWidget(card, 1);
    }
    connect(record_, &QAbstractButton::clicked, this, [this] { pick(ExportLayout::record); });
    connect(book_, &QAbstractButton::clicked, this, [this] { pick(ExportLayout::book); });
    column->addLayout(cards);

    auto* formatRow = new QHBoxLayout;
    formatRow->setSpacing(0);
    auto* formatLabel = new QLabel(QStringLiteral("Format"));
    formatLabel->setFont(scaledFont(formatLabel->font(), 1.0, QFont::DemiBold));
    formatRow->addWidget(formatLabel);
    formatRow->addSpacing(14);
    formats_ = new QButtonGroup(page);
    formats_->setExclusive(true);
    for (const ExportFormat format : ExportFormat::allCases) {
        auto* button = new QPushButton(qt(format.label()));
        button->setCheckable(true);
        button->setObjectName(qt(format.rawValue()) + QStringLiteral("Format"));
        button->setMinimumWidth(64);
        formats_->addButton(button, int(format.value()));
        formatRow->addWidget(button);
    }
    formatRow->addStretch();
    connect(formats_, &QButtonGroup::idClicked, this,
            [this](int id) { pick(ExportFormat(static_cast<ExportFormat::Value>(id))); });
    column->addLayout(formatRow);
    QLabel* formatHelp = secondaryLabel(QStringLiteral("PDF to print or send; HTML to open in a browser; CSV for spreadsheets"));
    column->addWidget(formatHelp);
    column->addSpacing(-8);

    column->addWidget(separatorLine());
    counts_ = textLabel({});
    counts_->setObjectName(QStringLiteral("summaryCounts"));
    column->addWidget(counts_);
    auto* zoneRow = new QHBoxLayout;
    zoneRow->setSpacing(6);
    zoneRow->addWidget(new SymbolView(Symbol::clock, 16));
    zone_ = new QLabel;
    zone_->setObjectName(QStringLiteral("summaryZone"));
    zone_->setForegroundRole(QPalette::PlaceholderText);
    zoneRow->addWidget(zone_);
    zoneRow->addSpacing(6);
    auto* settings = linkButton(QStringLiteral("Change in Settings (Ctrl+,)"));
    settings->setObjectName(QStringLiteral("changeInSettings"));
    connect(settings, &QPushButton::clicked, this, &ExportSheet::settingsRequested);
    zoneRow->addWidget(settings);
    zoneRow->addStretch();
    column->addLayout(zoneRow);
    column->addSpacing(-6);

    stopped_ = secondaryLabel({});
    stopped_->setObjectName(QStringLiteral("stoppedNote"));
    stopped_->setVisible(false);
    column->addWidget(stopped_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* close = new QPushButton(QStringLiteral("Cancel"));
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    start_ = suggestedButton({});
    start_->setObjectName(QStringLiteral("startButton"));
    connect(start_, &QPushButton::clicked, this, &ExportSheet::start);
    buttons->addWidget(close);
    buttons->addWidget(start_);
    column->addSpacing(4);
    column->addLayout(buttons);
    return page;
}

QWidget* ExportSheet::makeWorkingPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("workingPage"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(sheetHeading(QStringLiteral("Exporting…")));
    bar_ = new QProgressBar;
    bar_->setRange(0, 1000);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(8);
    column->addWidget(bar_);
    step_ = secondaryLabel({});
    step_->setObjectName(QStringLiteral("stepText"));
    column->addWidget(step_);
    column->addWidget(secondaryLabel(QStringLiteral("Pages are laid out on this computer; nothing is uploaded.")));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    connect(cancel_, &QPushButton::clicked, this, &ExportSheet::cancel);
    buttons->addWidget(cancel_);
    column->addSpacing(6);
    column->addLayout(buttons);
    return page;
}

QWidget* ExportSheet::makeDonePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("donePage"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    auto* head = new QHBoxLayout;
    head->setSpacing(10);
    head->addWidget(new VerdictView(true, 30));
    head->addWidget(sheetHeading(QStringLiteral("Exported")), 1);
    column->addLayout(head);
    doneCounts_ = textLabel({});
    doneCounts_->setObjectName(QStringLiteral("doneCounts"));
    column->addWidget(doneCounts_);
    donePlace_ = secondaryLabel({});
    donePlace_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(donePlace_);

    HashRow hash = hashRow(QStringLiteral("SHA-256 of this file"),
                           QStringLiteral("For a cover letter or a chain-of-custody note: any change to the file changes it."));
    fileHash_ = hash.row;
    fileHashValue_ = hash.value;
    fileHash_->setObjectName(QStringLiteral("fileHash"));
    column->addWidget(fileHash_);
    HashRow print = hashRow(QStringLiteral("Fingerprint of the messages"),
                            QStringLiteral("Printed on the cover and on every page. Verify an Export… checks it."));
    fingerprint_ = print.row;
    fingerprintValue_ = print.value;
    fingerprint_->setObjectName(QStringLiteral("fingerprint"));
    column->addWidget(fingerprint_);
    skipped_ = textLabel({});
    skipped_->setObjectName(QStringLiteral("skippedFiles"));
    column->addWidget(skipped_);

    auto* buttons = new QHBoxLayout;
    auto* show = new QPushButton(QStringLiteral("Show in Folder"));
    show->setObjectName(QStringLiteral("showInFolder"));
    connect(show, &QPushButton::clicked, this, [this] {
        if (exported_) Desktop::showInFolder(qt(exported_->url.string()));
    });
    auto* open = new QPushButton(QStringLiteral("Open"));
    open->setObjectName(QStringLiteral("openExport"));
    connect(open, &QPushButton::clicked, this, [this] {
        if (!exported_) return;
        const QString place = qt(exported_->url.string());
        // An HTML export is read in the browser, from its page.
        const bool htmlFolder = !isBatch() && format_ == ExportFormat::html;
        Desktop::open(htmlFolder ? QDir(place).filePath(QStringLiteral("index.html")) : place);
    });
    auto* done = suggestedButton(QStringLiteral("Done"));
    done->setObjectName(QStringLiteral("doneButton"));
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(show);
    buttons->addWidget(open);
    buttons->addStretch();
    buttons->addWidget(done);
    column->addSpacing(6);
    column->addLayout(buttons);
    return page;
}

QWidget* ExportSheet::makeFailedPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("failedPage"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    auto* head = new QHBoxLayout;
    head->setSpacing(10);
    head->addWidget(new VerdictView(false, 30));
    head->addWidget(sheetHeading(QStringLiteral("The export didn't finish")), 1);
    column->addLayout(head);
    failureText_ = textLabel({});
    failureText_->setObjectName(QStringLiteral("failureText"));
    failureText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(failureText_);
    column->addWidget(
        secondaryLabel(QStringLiteral("Check that the folder can be written to and has free space, then try again.")));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* done = suggestedButton(QStringLiteral("Done"));
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(done);
    column->addSpacing(6);
    column->addLayout(buttons);
    return page;
}

void ExportSheet::pick(ExportLayout layout) {
    layout_ = layout;
    (layout == ExportLayout::record ? record_ : book_)->setChecked(true);
}

void ExportSheet::pick(ExportFormat format) {
    format_ = format;
    if (QAbstractButton* button = formats_->button(int(format.value()))) button->setChecked(true);
    showFormat();
    // Only a PDF is laid out; the other formats hold the messages as they are.
    record_->setEnabled(format == ExportFormat::pdf);
    book_->setEnabled(format == ExportFormat::pdf);
    showChoices();
}

QString ExportSheet::summary() const { return counts_->text() + QLatin1Char('\n') + zone_->text(); }

QString ExportSheet::doneText() const {
    return doneCounts_->text() + (skipped_->isVisible() ? QLatin1Char('\n') + skipped_->text() : QString());
}

void ExportSheet::showChoices() {
    if (isBatch()) {
        int64_t messages = 0;
        for (const Conversation& conversation : batch_) messages += conversation.messageCount;
        // The counts of the list cover every date; other dates show their name instead.
        counts_->setText((model_.range() == AppModel::RangeChoice::all ? count(messages, "message", "messages")
                                                                        : AppModel::title(model_.range()).remove(QStringLiteral("…"))) +
                         QStringLiteral(" · one file for each conversation"));
    } else if (thread_) {
        counts_->setText(count(int64_t(thread_->messages.size()), "message", "messages") + QStringLiteral(" · ") +
                         count(thread_->attachmentCount(), "attachment", "attachments") + QStringLiteral(" included"));
    }
    zone_->setText(QStringLiteral("Times in ") + qt(model_.timeZone()) + QStringLiteral(" · ") +
                   AppModel::paperName(model_.paper()));
    start_->setText(isBatch() || format_ == ExportFormat::html ? QStringLiteral("Choose Folder…")
                                                              : QStringLiteral("Export…"));
}

void ExportSheet::setPhase(Phase phase) {
    phase_ = phase;
    pages_->show(int(phase));
    if (phase == Phase::working) cancel_->setFocus();
    if (phase == Phase::choose) start_->setFocus();
}

void ExportSheet::start() {
    if (phase_ != Phase::choose || (!isBatch() && !thread_)) return;
    model_.rememberLayout(layout_);
    PlaceRequest request;
    request.folder = startFolder();
    if (isBatch()) {
        request.kind = PlaceRequest::Kind::folder;
        request.title = title();
        request.acceptLabel = QStringLiteral("Export Here");
    } else if (format_ == ExportFormat::html) {
        request.kind = PlaceRequest::Kind::folder;
        request.title = QStringLiteral("Export as HTML — Quillmark makes a folder with the page and its files.");
    } else {
        request.kind = PlaceRequest::Kind::file;
        request.title = title();
        request.name = model_.suggestedName(*thread_, format_);
        request.suffix = qt(format_.fileExtension());
        request.filter = format_ == ExportFormat::pdf ? QStringLiteral("PDF document (*.pdf)")
                                                      : QStringLiteral("Comma-separated text (*.csv)");
    }
    const QString chosen = askForPlace(request);
    if (chosen.isEmpty()) return;
    const QFileInfo chosenInfo(chosen);
    lastFolder() = request.kind == PlaceRequest::Kind::folder ? chosenInfo.absoluteFilePath() : chosenInfo.absolutePath();

    AppModel::ExportJob job;
    job.format = format_;
    job.layout = layout_;
    job.batch = batch_;
    job.place = chosen;
    // A single HTML export is a folder of its own inside the one chosen.
    if (!isBatch() && format_ == ExportFormat::html)
        job.place = QDir(chosen).filePath(model_.suggestedName(*thread_, format_));

    exported_.reset();
    failure_.clear();
    stopped_->setVisible(false);
    bar_->setValue(0);
    step_->setText(QStringLiteral("Starting…"));
    run_ = model_.startExport(job);
    connect(run_.get(), &ExportRun::progressed, this, &ExportSheet::showProgress);
    connect(run_.get(), &ExportRun::finished, this, &ExportSheet::finish);
    setPhase(Phase::working);
}

void ExportSheet::cancel() {
    if (phase_ != Phase::working || !run_) return;
    run_->cancel();
    cancel_->setEnabled(false);
    step_->setText(QStringLiteral("Stopping…"));
}

void ExportSheet::showProgress() {
    if (!run_ || run_->cancelling()) return;
    const ExportService::Progress& progress = run_->progress();
    bar_->setValue(int(progress.fraction * 1000));
    QStringList parts;
    if (progress.count > 1)
        parts << qt(progress.conversation) + QStringLiteral(" (%1 of %2)").arg(progress.index).arg(progress.count);
    if (!progress.step.empty()) parts << qt(progress.step);
    if (progress.pages > 0) parts << count(progress.pages, "page", "pages");
    step_->setText(parts.join(QStringLiteral(" · ")));
}

void ExportSheet::finish() {
    if (!run_ || !run_->result()) return;
    const ExportRun::Result result = *run_->result();
    const int written = run_->written();
    run_.reset();
    cancel_->setEnabled(true);
    if (result) {
        exported_ = *result;
        showDone(*result);
        setPhase(Phase::done);
    } else if (result.error().kind == ExportService::Failure::Kind::cancelled) {
        stopped_->setText(written > 0 ? QStringLiteral("The export was stopped. The %1 written before it stopped stay in "
                                                       "the folder.")
                                            .arg(count(written, "file", "files"))
                                      : QStringLiteral("The export was stopped; nothing was written."));
        stopped_->setVisible(true);
        setPhase(Phase::choose);
    } else {
        failure_ = qt(result.error().description());
        failureText_->setText(failure_);
        setPhase(Phase::failed);
    }
}

void ExportSheet::showDone(const ExportService::Exported& exported) {
    if (isBatch()) {
        doneCounts_->setText(count(exported.count, "conversation", "conversations") + QStringLiteral(" exported · ") +
                             count(exported.messages, "message", "messages"));
    } else if (exported.pages) {
        doneCounts_->setText(count(*exported.pages, "page", "pages") + QStringLiteral(" · ") +
                             count(exported.messages, "message", "messages"));
    } else {
        doneCounts_->setText(count(exported.messages, "message", "messages"));
    }
    donePlace_->setText(qt(exported.url.string()));
    const auto twoLines = [](const std::string& hex) {
        QString grouped = qt(Formats::grouped(hex, 4));
        // Eight groups a line.
        if (grouped.size() > 40) grouped[39] = QLatin1Char('\n');
        return grouped;
    };
    fileHash_->setVisible(exported.fileSHA256.has_value());
    if (exported.fileSHA256) {
        fileHashValue_->setText(twoLines(*exported.fileSHA256));
        fileHashValue_->setProperty("copyText", qt(*exported.fileSHA256));
    }
    fingerprint_->setVisible(exported.fingerprint.has_value());
    if (exported.fingerprint) {
        fingerprintValue_->setText(twoLines(*exported.fingerprint));
        fingerprintValue_->setProperty("copyText", qt(*exported.fingerprint));
    }
    skipped_->setVisible(exported.skippedFiles > 0);
    skipped_->setText(exported.skippedFiles == 1
                          ? QStringLiteral("1 file was left out because it is not in this history.")
                          : count(exported.skippedFiles, "file", "files") +
                                QStringLiteral(" were left out because they are not in this history."));
}

void ExportSheet::reject() {
    // Escape while the export runs stops it; the sheet stays to say so.
    if (phase_ == Phase::working) {
        cancel();
        return;
    }
    QDialog::reject();
}

void ExportSheet::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        showFormat();
        update();
    }
    QDialog::changeEvent(event);
}

void ExportSheet::showFormat() {
    // The chosen format in the accent colour: the style's pressed look is barely seen in a dark palette.
    if (!formats_) return;  // a palette change while the sheet is made
    const Theme theme = Theme::of(palette());
    for (QAbstractButton* button : formats_->buttons()) {
        QPalette own = palette();
        if (button->isChecked()) {
            own.setColor(QPalette::Button, theme.accent);
            own.setColor(QPalette::ButtonText, theme.onAccent);
        }
        button->setPalette(own);
    }
}

QString ExportSheet::askWithDialog(QWidget* parent, const PlaceRequest& request) {
    QFileDialog dialog(parent, request.title, request.folder);
    if (request.kind == PlaceRequest::Kind::file) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(request.filter);
        dialog.setDefaultSuffix(request.suffix);
        dialog.selectFile(request.name);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    }
    if (!request.acceptLabel.isEmpty()) dialog.setLabelText(QFileDialog::Accept, request.acceptLabel);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

}  // namespace quillmark::app
