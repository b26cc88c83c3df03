#include "app/app_model.h"

#include <unistd.h>

#include <algorithm>

#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QSettings>

#include "app/qt_text.h"
#include "core/locale.h"
#include "export/export_names.h"
#include "service/verification.h"

namespace quillmark::app {

namespace {

std::unique_ptr<QSettings> openSettings(const QString& file) {
    if (!file.isEmpty()) return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("Quillmark"), QStringLiteral("Quillmark"));
}

QString numberCharacters(const QString& text) {
    QString digits;
    for (const QChar c : text)
        if (c.isNumber()) digits.append(c);
    return digits;
}

}  // namespace

QString AppModel::rawValue(RangeChoice choice) {
    switch (choice) {
        case RangeChoice::all: return QStringLiteral("all");
        case RangeChoice::last30: return QStringLiteral("last30");
        case RangeChoice::last90: return QStringLiteral("last90");
        case RangeChoice::thisYear: return QStringLiteral("thisYear");
        case RangeChoice::lastYear: return QStringLiteral("lastYear");
        case RangeChoice::custom: return QStringLiteral("custom");
    }
    return {};
}

QString AppModel::title(RangeChoice choice) {
    switch (choice) {
        case RangeChoice::all: return QStringLiteral("All Time");
        case RangeChoice::last30: return QStringLiteral("Last 30 Days");
        case RangeChoice::last90: return QStringLiteral("Last 3 Months");
        case RangeChoice::thisYear: return QStringLiteral("This Year");
        case RangeChoice::lastYear: return QStringLiteral("Last Year");
        case RangeChoice::custom: return QStringLiteral("Custom Dates…");
    }
    return {};
}

AppModel::AppModel(Launch launch, QObject* parent)
    : QObject(parent), launch_(std::move(launch)), list_(std::make_shared<ConversationList>()) {
    const QDate today = now().toTimeZone(qtZone(timeZone())).date();
    customEnd_ = today;
    customStart_ = today.addMonths(-1);

    accessTimer_.setInterval(1000);
    connect(&accessTimer_, &QTimer::timeout, this, [this] {
        if (state_.kind != State::Kind::noAccess) return;
        const std::string path = location_.messagesPath;
        const int generation = loadGeneration_;
        // The probe runs on the worker, so that a slow file system never holds up the window.
        onQueue([this, path, generation] {
            if (::access(path.c_str(), R_OK) != 0) return;
            onMain([this, generation] {
                if (generation == loadGeneration_ && state_.kind == State::Kind::noAccess) load();
            });
        });
    });

    integrityWaiters_.setMaxThreadCount(1);
    worker_.setObjectName(QStringLiteral("quillmark.library"));
    context_ = new QObject();
    context_->moveToThread(&worker_);
    worker_.start();
}

AppModel::~AppModel() {
    accessTimer_.stop();
    // Exports under way stop at their next step, so the worker is free to end.
    for (const auto& run : runs_)
        if (auto shared = run.lock()) shared->cancelled = true;
    worker_.quit();
    worker_.wait();
    delete context_;
    history_.reset();
    integrityWaiters_.waitForDone();
}

void AppModel::onQueue(std::function<void()> job) {
    QMetaObject::invokeMethod(context_, std::move(job), Qt::QueuedConnection);
}

void AppModel::onMain(std::function<void()> job) {
    QMetaObject::invokeMethod(this, std::move(job), Qt::QueuedConnection);
}

QString AppModel::setting(const QString& key) const {
    return openSettings(launch_.settingsFile)->value(key).toString();
}

void AppModel::setSetting(const QString& key, const QString& value) {
    if (value == setting(key)) return;
    auto settings = openSettings(launch_.settingsFile);
    if (value.isEmpty()) {
        settings->remove(key);
    } else {
        settings->setValue(key, value);
    }
    settings->sync();
    emit settingChanged(key);
    // The zone decides where days begin, so the dates chosen cover other instants now.
    if (key == QLatin1String("timeZone") && range_ != RangeChoice::all) loadThread();
    // The names of the contacts file are read when the history opens.
    if (key == QLatin1String("contactsFile")) load();
}

// --- loading

void AppModel::load() {
    const std::optional<QString> remembered = [&]() -> std::optional<QString> {
        const QString folder = setting(QStringLiteral("messagesFolder"));
        if (folder.isEmpty()) return std::nullopt;
        return folder;
    }();
    location_ = launch_.environment.location(launch_.messages ? std::optional(utf8(*launch_.messages)) : std::nullopt,
                                             remembered ? std::optional(utf8(*remembered)) : std::nullopt);
    // Names from a vCard file add to the address books of whichever history is opened.
    if (const QString contacts = setting(QStringLiteral("contactsFile")); !contacts.isEmpty())
        location_.contactsPaths.emplace_back(utf8(contacts));

    std::vector<IPhoneBackup::Summary> found;
    if (location_.backup) {
        found.push_back(*location_.backup);
        found.insert(found.end(), location_.otherBackups.begin(), location_.otherBackups.end());
        const auto chosen = std::find_if(found.begin(), found.end(), [&](const IPhoneBackup::Summary& backup) {
            return !chosenBackup_.isEmpty() && backup.folder == std::filesystem::path(utf8(chosenBackup_));
        });
        if (chosen != found.end() && chosen != found.begin()) {
            location_.backup = *chosen;
            location_.messagesPath = chosen->folder.string();
            location_.otherBackups.clear();
            for (const auto& backup : found)
                if (backup.folder != chosen->folder) location_.otherBackups.push_back(backup);
        }
    }
    const bool backupsDiffer = [&] {
        if (found.size() != backups_.size()) return true;
        for (size_t i = 0; i < found.size(); ++i)
            if (found[i].folder != backups_[i].folder) return true;
        return false;
    }();
    backups_ = std::move(found);
    if (backupsDiffer) emit backupsChanged();

    setPasswordRequest({});
    open(location_, ++loadGeneration_, std::nullopt);
}

void AppModel::open(HistoryLocation where, int generation, std::optional<std::string> password) {
    onQueue([this, where = std::move(where), generation, password = std::move(password)]() mutable {
        history_.reset();
        auto opened = History::open(where, [&password]() -> std::optional<std::string> { return password; });
        // The password has done its work once the key is derived (or failed to be).
        if (password) {
            std::fill(password->begin(), password->end(), '\0');
            password.reset();
        }
        if (!opened) {
            onMain([this, generation, failure = opened.error()] {
                if (generation != loadGeneration_) return;
                openFailed(failure);
            });
            return;
        }
        history_ = std::shared_ptr<History>(std::move(*opened));
        // SQLite's check of the whole file runs beside the loading, on a connection of its own.
        history_->startIntegrityCheck();
        auto list = makeList(history_->library().conversations());
        onMain([this, generation, list, history = history_] {
            if (generation != loadGeneration_) return;
            accessTimer_.stop();
            opened_ = true;
            setPasswordRequest({});
            if (!damage_.isEmpty()) {
                damage_.clear();
                emit damageChanged();
            }
            setConversations(list);
            setState(State{State::Kind::ready, {}, qt(location_.messagesPath)});
            if (selection_.empty() && !list->items.empty()) {
                setSelection({qt(list->items.front().id)});
            } else {
                loadThread();
            }
            checkIntegrity(history, generation);
        });
    });
}

void AppModel::unlock(const QString& password) {
    if (!passwordRequest_.asked || passwordRequest_.unlocking) return;
    setPasswordRequest(PasswordRequest{.asked = true, .unlocking = true, .failure = {}});
    open(location_, ++loadGeneration_, utf8(password));
}

void AppModel::cancelUnlock() {
    if (!passwordRequest_.unlocking) return;
    // A key being derived still finishes on the worker; its outcome no longer counts.
    ++loadGeneration_;
    setPasswordRequest(PasswordRequest{.asked = true, .unlocking = false, .failure = {}});
}

void AppModel::setPasswordRequest(PasswordRequest request) {
    if (request == passwordRequest_) return;
    passwordRequest_ = std::move(request);
    emit passwordRequestChanged();
}

QString AppModel::openedBackup() const {
    return location_.backup ? qt(location_.backup->folder.string()) : QString();
}

QString AppModel::backupTitle(const IPhoneBackup::Summary& backup) const {
    QString title = qt(backup.deviceName);
    if (backup.date)
        title += QStringLiteral(", backed up ") +
                 QLocale().toString(qtDateTime(*backup.date, qtZone(timeZone())), QLocale::ShortFormat);
    return title;
}

void AppModel::openBackup(const QString& folder) {
    chosenBackup_ = folder;
    load();
}

void AppModel::checkIntegrity(std::shared_ptr<History> history, int generation) {
    // The wait runs off the worker, so that threads load while the check reads the whole file.
    integrityWaiters_.start([this, history = std::move(history), generation]() mutable {
        auto whole = history->integrity();
        history.reset();
        if (whole) return;
        onMain([this, generation, sentence = qt(whole.error().description())] {
            if (generation != loadGeneration_) return;
            damage_ = sentence;
            emit damageChanged();
        });
    });
}

void AppModel::openFailed(const History::Failure& failure) {
    opened_ = false;
    if (!damage_.isEmpty()) {
        damage_.clear();
        emit damageChanged();
    }
    setConversations(std::make_shared<ConversationList>());
    setThread(nullptr);
    setThreadLoading(false);
    const QString path = qt(failure.path);
    switch (failure.kind) {
        case History::Failure::Kind::noAccess:
            setState(State{State::Kind::noAccess, {}, path});
            watchForAccess();
            return;
        case History::Failure::Kind::missing:
            accessTimer_.stop();
            setState(State{State::Kind::missing, {}, path});
            return;
        case History::Failure::Kind::failed:
        case History::Failure::Kind::damaged:  // opening never checks the pages; damage shows as a bar
            accessTimer_.stop();
            setPasswordRequest({});
            setState(State{State::Kind::failed, qt(failure.description()), path});
            return;
        // An encrypted iPhone backup: the screen behind the password dialog says so, and stays when the
        // person cancels; "Try Again" asks once more.
        case History::Failure::Kind::needsPassword:
            accessTimer_.stop();
            setState(State{State::Kind::failed, qt(failure.description()), path});
            setPasswordRequest(PasswordRequest{.asked = true, .unlocking = false, .failure = {}});
            return;
        case History::Failure::Kind::wrongPassword:
            accessTimer_.stop();
            setState(State{State::Kind::failed, qt(failure.description()), path});
            setPasswordRequest(PasswordRequest{.asked = true, .unlocking = false, .failure = qt(failure.description())});
            return;
    }
}

void AppModel::watchForAccess() {
    accessTimer_.stop();
    accessTimer_.start();
}

void AppModel::reload() {
    if (!opened_) {
        load();
        return;
    }
    const int generation = loadGeneration_;
    onQueue([this, generation] {
        if (!history_) return;
        if (!history_->library().reload()) return;  // the list stays as it was
        auto list = makeList(history_->library().conversations());
        onMain([this, generation, list] {
            if (generation != loadGeneration_) return;
            setConversations(list);
            loadThread();
        });
    });
}

std::shared_ptr<const AppModel::ConversationList> AppModel::makeList(std::vector<Conversation> conversations) {
    auto list = std::make_shared<ConversationList>();
    const std::string locale = userLocale(LocaleCategory::messages);
    const QLocale qlocale;
    list->titles.reserve(conversations.size());
    list->searchTexts.reserve(conversations.size());
    list->digits.reserve(conversations.size());
    for (const Conversation& conversation : conversations) {
        const QString title = qt(conversation.title(locale));
        QString search = title + QLatin1Char('\n') + qt(conversation.lastSnippet);
        QString digits;
        for (const Participant& participant : conversation.participants) {
            const QString address = qt(participant.address);
            search += QLatin1Char('\n') + address;
            digits += numberCharacters(address) + QLatin1Char('\n');
        }
        list->titles.push_back(title);
        list->searchTexts.push_back(qlocale.toLower(search));
        list->digits.push_back(digits);
    }
    list->items = std::move(conversations);
    return list;
}

void AppModel::setConversations(std::shared_ptr<const ConversationList> list) {
    list_ = std::move(list);
    // A selection of conversations that are no longer in the list selects nothing.
    std::set<QString> kept;
    for (const Conversation& conversation : list_->items)
        if (selection_.count(qt(conversation.id))) kept.insert(qt(conversation.id));
    emit conversationsChanged();
    refilter();
    if (kept != selection_) {
        selection_ = std::move(kept);
        emit selectionChanged();
    }
}

// --- selection, search, dates

void AppModel::setSelection(std::set<QString> selection) {
    if (selection == selection_) return;
    selection_ = std::move(selection);
    emit selectionChanged();
    loadThread();
}

void AppModel::setSearch(const QString& search) {
    if (search == search_) return;
    search_ = search;
    emit searchChanged();
    refilter();
}

void AppModel::refilter() {
    std::vector<int> kept;
    const QString query = search_.trimmed();
    const auto& items = list_->items;
    if (query.isEmpty()) {
        kept.resize(items.size());
        for (size_t i = 0; i < items.size(); ++i) kept[i] = int(i);
    } else {
        const QString lowered = QLocale().toLower(query);
        const QString digits = numberCharacters(query);
        for (size_t i = 0; i < items.size(); ++i) {
            // Title, snippet and addresses are one lower-cased text, one per line; a query holds no line
            // break once trimmed of white space at its ends, so it cannot match across two of them.
            if (list_->searchTexts[i].contains(lowered) ||
                (digits.size() > 2 && list_->digits[i].contains(digits)))
                kept.push_back(int(i));
        }
    }
    if (kept == filtered_) return;
    filtered_ = std::move(kept);
    emit filteredChanged();
}

void AppModel::setRange(RangeChoice range) {
    const bool changed = range != range_;
    range_ = range;
    if (changed) emit rangeChanged();
    loadThread();
}

void AppModel::showCustomDates(QDate start, QDate end) {
    customStart_ = start;
    customEnd_ = end;
    range_ = RangeChoice::custom;
    emit rangeChanged();
    loadThread();
}

void AppModel::openMessages(const QString& path) {
    chosenBackup_.clear();
    openSettings(launch_.settingsFile)->setValue(QStringLiteral("messagesFolder"), path);
    // The folder chosen now wins over the one named at launch.
    launch_.messages = path;
    load();
}

void AppModel::useDefaultMessages() {
    chosenBackup_.clear();
    setSetting(QStringLiteral("messagesFolder"), {});
    launch_.messages.reset();
    load();
}

std::vector<Conversation> AppModel::selectedConversations() const {
    std::vector<Conversation> selected;
    for (const Conversation& conversation : list_->items)
        if (selection_.count(qt(conversation.id))) selected.push_back(conversation);
    return selected;
}

DateRange AppModel::dateRange() const {
    const QTimeZone zone = qtZone(timeZone());
    const QDateTime current = now().toTimeZone(zone);
    const auto startOfYear = [&](int year) { return QDate(year, 1, 1).startOfDay(zone); };
    switch (range_) {
        case RangeChoice::all: return DateRange::all;
        case RangeChoice::last30: return DateRange{engineDate(current.addDays(-30)), std::nullopt};
        case RangeChoice::last90: return DateRange{engineDate(current.addMonths(-3)), std::nullopt};
        case RangeChoice::thisYear: return DateRange{engineDate(startOfYear(current.date().year())), std::nullopt};
        case RangeChoice::lastYear: {
            const int year = current.addYears(-1).date().year();
            return DateRange{engineDate(startOfYear(year)), engineDate(startOfYear(year + 1).addMSecs(-1))};
        }
        case RangeChoice::custom: {
            const QDate first = std::min(customStart_, customEnd_), last = std::max(customStart_, customEnd_);
            return DateRange{engineDate(first.startOfDay(zone)),
                             engineDate(last.startOfDay(zone).addMSecs(86'399'999))};
        }
    }
    return DateRange::all;
}

std::string AppModel::timeZone() const { return timeZoneFor(setting(QStringLiteral("timeZone"))); }

std::string AppModel::timeZoneFor(const QString& setting) const { return launch_.environment.timeZone(utf8(setting)); }

Paper AppModel::paper() const {
    const QString paperSetting = setting(QStringLiteral("paper"));
    return paperSetting == QLatin1String("letter") ? Paper::letter
           : paperSetting == QLatin1String("a4")   ? Paper::a4
                                                   : Paper::forCurrentRegion();
}

QString AppModel::paperName(Paper paper) {
    return paper == Paper::a4 ? QStringLiteral("A4") : QStringLiteral("US Letter");
}

QString AppModel::defaultMeName() const { return qt(launch_.environment.meName({})); }

ExportOptions AppModel::options(ExportLayout layout) const {
    return ExportOptions::make(layout, paper(), timeZone(), userLocale(LocaleCategory::time),
                               launch_.environment.meName(utf8(setting(QStringLiteral("meName")))), engineDate(now()));
}

QString AppModel::suggestedName(const MessageThread& thread, ExportFormat format) const {
    return qt(ExportNames::suggestedName(thread, format, timeZone(), userLocale(LocaleCategory::messages)));
}

QString AppModel::safeName(const QString& text) { return qt(ExportNames::safeName(utf8(text))); }

QString AppModel::messagesPath() const { return qt(location_.messagesPath); }

QString AppModel::defaultMessagesPath() const {
    return qt(launch_.environment.location(std::nullopt, std::nullopt).messagesPath);
}

// --- exports

ExportLayout AppModel::lastLayout() const {
    const QString stored = setting(QStringLiteral("lastLayout"));
    return stored.isEmpty() || stored == QLatin1String("book") ? ExportLayout::book : ExportLayout::record;
}

void AppModel::rememberLayout(ExportLayout layout) {
    setSetting(QStringLiteral("lastLayout"), qt(layout.rawValue()));
}

std::unique_ptr<ExportRun> AppModel::startExport(const ExportJob& job) {
    auto shared = std::make_shared<ExportRun::Shared>();
    auto run = std::make_unique<ExportRun>(shared);
    runs_.erase(std::remove_if(runs_.begin(), runs_.end(), [](const auto& r) { return r.expired(); }), runs_.end());
    runs_.push_back(shared);

    ExportService::Request request;
    request.format = job.format;
    request.options = options(job.layout);
    request.nameLocale = userLocale(LocaleCategory::messages);
    request.range = dateRange();
    const bool batch = !job.batch.empty();
    if (batch) {
        request.conversations = job.batch;
        request.folder = utf8(job.place);
    } else {
        request.file = utf8(job.place);
    }
    // The thread is copied on the worker: a long one takes a while, and the window must not wait for it.
    const std::shared_ptr<const MessageThread> shown = batch ? nullptr : thread_;
    QPointer<ExportRun> target(run.get());
    onQueue([this, request = std::move(request), shown, shared, target, batch]() mutable {
        const auto finish = [this, target](ExportRun::Result result) {
            onMain([target, result = std::move(result)]() mutable {
                if (target) target->finish(std::move(result));
            });
        };
        if (shared->cancelled) return finish(tl::unexpected(ExportService::Failure{
                                   ExportService::Failure::Kind::cancelled, "The export was cancelled."}));
        if (!history_ || (!batch && !shown))
            return finish(tl::unexpected(ExportService::Failure{ExportService::Failure::Kind::history,
                                                                "No Messages history is open to export from."}));
        if (shown) request.thread = *shown;
        const auto progress = [this, shared, target](const ExportService::Progress& step) {
            std::lock_guard guard(shared->lock);
            shared->latest = step;
            if (!shared->posted) {
                shared->posted = true;
                onMain([target] {
                    if (target) target->takeProgress();
                });
            }
            return !shared->cancelled.load();
        };
        const auto written = [this, shared](const ExportService::File& file) {
            ++shared->written;
            if (fileWritten) fileWritten(file);
        };
        finish(ExportService::run(*history_, request, progress, written));
    });
    return run;
}

// --- verification

void AppModel::verify(const QString& path) {
    const int token = ++verifyToken_;
    if (!verifying_) {
        verifying_ = true;
        emit verifyingChanged();
    }
    const QString name = QFileInfo(path).fileName();
    onQueue([this, token, path, name] {
        VerifyResult result{name, path, std::nullopt, {}};
        if (!history_) {
            result.summary = {"There is no Messages history to check it against",
                              "Open the Messages folder the export was made from, then verify it again.", false};
        } else if (auto outcome = Verification::run(*history_, utf8(path)); outcome) {
            result.summary = Verifier::summary(*outcome);
            result.outcome = std::move(*outcome);
        } else {
            result.summary = {outcome.error().title(), outcome.error().description(), false};
        }
        onMain([this, token, result = std::move(result)]() mutable {
            if (token != verifyToken_) return;
            verifyResult_ = std::move(result);
            verifying_ = false;
            emit verifyResultChanged();
            emit verifyingChanged();
        });
    });
}

void AppModel::clearVerifyResult() {
    ++verifyToken_;
    const bool wasVerifying = verifying_;
    verifying_ = false;
    if (verifyResult_) {
        verifyResult_.reset();
        emit verifyResultChanged();
    }
    if (wasVerifying) emit verifyingChanged();
}

// --- threads

void AppModel::loadThread() {
    const std::vector<Conversation> selected = selectedConversations();
    if (!opened_ || selection_.size() != 1 || selected.size() != 1) {
        // No single conversation: nothing to show, and any load under way is dropped.
        ++threadToken_;
        setThread(nullptr);
        setThreadLoading(false);
        return;
    }
    const int token = ++threadToken_;
    const Conversation conversation = selected.front();
    // The old conversation never shows under the new title.
    if (!thread_ || thread_->conversation.id != conversation.id) setThread(nullptr);
    setThreadLoading(true);
    const DateRange range = dateRange();
    onQueue([this, token, conversation, range] {
        if (!history_) return;
        auto loaded = history_->library().thread(conversation, range);
        std::shared_ptr<const MessageThread> thread;
        QString failure;
        if (loaded) {
            thread = std::make_shared<const MessageThread>(std::move(*loaded));
        } else {
            failure = qt(loaded.error().description());
        }
        onMain([this, token, thread = std::move(thread), failure] {
            if (token != threadToken_) return;  // a newer request is under way
            setThread(thread, failure);
            setThreadLoading(false);
        });
    });
}

void AppModel::setThread(std::shared_ptr<const MessageThread> thread, QString failure) {
    if (thread == thread_ && failure == threadFailure_) return;
    thread_ = std::move(thread);
    threadFailure_ = std::move(failure);
    emit threadChanged();
}

void AppModel::setThreadLoading(bool loading) {
    if (loading == threadLoading_) return;
    threadLoading_ = loading;
    emit threadLoadingChanged();
}

void AppModel::setState(State state) {
    if (state == state_) return;
    state_ = std::move(state);
    emit stateChanged();
}

}  // namespace quillmark::app
