#include "app/window_snapshots.h"

#include <chrono>
#include <functional>
#include <thread>

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTemporaryDir>

#include "app/app_model.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/theme.h"
#include "app/widgets.h"
#include "sample_history/sample_history.h"

namespace quillmark::app {

namespace {

using Truth = SampleHistory::Truth;

// Lets the window and the model work until the condition holds; false after the time limit.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Lets queued work (batched list layout, repaints) run for a moment.
void settle(int milliseconds = 150) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The model's conversation holding the sample conversation's first chat.
const Conversation* find(const AppModel& model, const Truth::Conversation& sample) {
    for (const Conversation& conversation : model.conversations())
        for (const std::string& guid : conversation.chatGUIDs)
            if (!sample.chatGUIDs.empty() && guid == sample.chatGUIDs.front()) return &conversation;
    return nullptr;
}

// The showcase conversation that best shows what a kind of scene is about.
const Truth::Conversation* best(const Truth& truth, const std::function<int(const Truth::Conversation&)>& score) {
    const Truth::Conversation* chosen = nullptr;
    int top = 0;
    for (const Truth::Conversation& conversation : truth.conversations) {
        if (!conversation.isShowcase) continue;
        const int value = score(conversation);
        if (value > top) {
            top = value;
            chosen = &conversation;
        }
    }
    return chosen;
}

int talkScore(const Truth::Conversation& conversation) {
    if (conversation.isGroup) return 0;
    int score = 0;
    for (const Truth::Message& message : conversation.messages)
        score += !message.reactions.empty() + 2 * message.replyToGUID.has_value() + 2 * !message.editHistory.empty() +
                 message.effect.has_value() + message.unsentRaw.has_value();
    return score;
}

int photoScore(const Truth::Conversation& conversation) {
    int score = 0;
    for (const Truth::Message& message : conversation.messages)
        for (const Truth::Attachment& attachment : message.attachments)
            score += attachment.kind == "image" && attachment.isAvailable && !attachment.isSticker;
    return score;
}

int groupScore(const Truth::Conversation& conversation) {
    if (!conversation.isGroup) return 0;
    int score = 1;
    for (const Truth::Message& message : conversation.messages)
        score += 2 * message.event.has_value() + !message.reactions.empty();
    return score;
}

// The window dimmed, with the sheet over its upper middle and a soft shadow under the sheet.
QImage withSheet(QWidget& window, QWidget& sheet, bool dark) {
    QImage image = window.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage top = sheet.grab().toImage();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(image.rect(), QColor(0, 0, 0, dark ? 110 : 70));
    const double scale = top.devicePixelRatio();
    const QSizeF size(top.width() / scale, top.height() / scale);
    const QPointF at((image.width() - size.width()) / 2, std::max(48.0, (image.height() - size.height()) / 3));
    const QRectF frame(at, size);
    painter.setPen(Qt::NoPen);
    for (int i = 14; i > 0; i -= 2) {
        painter.setBrush(QColor(0, 0, 0, dark ? 16 : 9));
        painter.drawRoundedRect(frame.adjusted(-i, -i + 6, i, i + 6), 12 + i, 12 + i);
    }
    QPainterPath rounded;
    rounded.addRoundedRect(frame, 10, 10);
    painter.setClipPath(rounded);
    painter.drawImage(frame, top);
    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(dark ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 50), 1));
    painter.drawPath(rounded);
    return image;
}

// The row of the thread view to show at the top: a little before the first message that the test picks.
int rowBefore(const ThreadModel& rows, const std::function<bool(const Message&)>& wanted) {
    for (int row = 0; row < rows.rowCount(); ++row)
        if (rows.item(row).kind != ThreadItems::Item::Kind::time && wanted(rows.message(row))) return std::max(0, row - 2);
    return 0;
}

}  // namespace

int WindowSnapshots::run(const QString& folder) {
    QStringList report;
    const auto finish = [&]() {
        QSaveFile file(QDir(folder).filePath(QStringLiteral("report.txt")));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(report.join(QLatin1Char('\n')).toUtf8() + "\n");
            file.commit();
        }
        for (const QString& line : report)
            if (line.startsWith(QLatin1String("FAIL "))) return 1;
        return 0;
    };
    if (!QDir().mkpath(folder)) {
        report << QStringLiteral("FAIL cannot make the folder %1").arg(folder);
        return 1;
    }

    // Every run looks the same: the same style, font and palettes, whatever the desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (QFontDatabase::hasFamily(QStringLiteral("Noto Sans"))) QApplication::setFont(withEmoji(QFont(QStringLiteral("Noto Sans"), 10)));

    QTemporaryDir temp;
    if (!temp.isValid()) {
        report << QStringLiteral("FAIL no temporary folder");
        return finish();
    }
    const QString historyFolder = temp.filePath(QStringLiteral("history"));
    auto truth = SampleHistory::write(utf8(historyFolder), SampleHistory::Options{});
    if (!truth) {
        report << QStringLiteral("FAIL the sample history: ") + qt(truth.error());
        return finish();
    }

    AppModel::Launch launch;
    launch.messages = historyFolder;
    launch.settingsFile = temp.filePath(QStringLiteral("settings.ini"));
    AppModel model(launch);
    MainWindow window(model);
    window.resize(1200, 800);
    window.show();

    // `over` is a sheet drawn over the window; `alone` a window of its own drawn instead of the main one.
    const auto capture = [&](const QString& scene, QWidget* over = nullptr, QWidget* alone = nullptr) {
        for (const bool dark : {false, true}) {
            QApplication::setPalette(dark ? Theme::darkPalette() : Theme::lightPalette());
            settle();
            const QString name = scene + (dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png"));
            const QImage image = alone ? alone->grab().toImage() : over ? withSheet(window, *over, dark) : window.grab().toImage();
            if (image.save(QDir(folder).filePath(name), "PNG")) {
                report << QStringLiteral("ok ") + name;
            } else {
                report << QStringLiteral("FAIL cannot write ") + name;
            }
        }
    };

    // 01: the guide, as a refused history shows it. A root account is never refused, so the scene shows the
    // model's answer to a refusal of the usual place rather than provoking one.
    History::Failure refused;
    refused.kind = History::Failure::Kind::noAccess;
    refused.path = utf8(QDir::homePath() + QStringLiteral("/Library/Messages/chat.db"));
    model.location_.messagesPath = refused.path;
    model.openFailed(refused);
    model.accessTimer_.stop();
    if (window.screen() != MainWindow::Screen::noAccess) report << QStringLiteral("FAIL 01-full-disk-access: no guide");
    capture(QStringLiteral("01-full-disk-access"));

    model.load();
    if (!waitFor([&] { return model.state().kind != AppModel::State::Kind::loading &&
                              model.state().kind != AppModel::State::Kind::noAccess; }) ||
        model.state().kind != AppModel::State::Kind::ready) {
        report << QStringLiteral("FAIL the sample history did not open: ") + model.state().text;
        return finish();
    }
    // Dates relative to today read as they would on the day after the newest message.
    const Conversation newest = model.conversations().front();
    const QDateTime shownOn = qtDateTime(newest.lastDate.value_or(Date{}), QTimeZone::systemTimeZone()).addSecs(3 * 3600);
    model.now = [shownOn] { return shownOn; };

    const auto showThread = [&](const QString& scene, const Truth::Conversation* sample,
                                const std::function<bool(const Message&)>& first) {
        const Conversation* conversation = sample ? find(model, *sample) : nullptr;
        if (!conversation) {
            report << QStringLiteral("FAIL %1: no such conversation in the sample").arg(scene);
            return;
        }
        model.setSelection({qt(conversation->id)});
        ThreadView* view = window.detail()->threadView();
        if (!waitFor([&] { return !model.threadLoading() && model.thread(); })) {
            report << QStringLiteral("FAIL %1: the thread did not load").arg(scene);
            return;
        }
        settle();
        const int row = rowBefore(view->threadModel(), first);
        view->scrollTo(view->threadModel().index(row), QAbstractItemView::PositionAtTop);
        settle();
        if (!waitFor([&] { return window.thumbnails().pending() == 0; }))
            report << QStringLiteral("FAIL %1: pictures did not load").arg(scene);
        settle();
        capture(scene);
    };

    const Truth::Conversation* talk = best(*truth, talkScore);
    // Where an edited message stands: earlier versions, replies and reactions are near it in the showcase.
    showThread(QStringLiteral("02-thread"), talk, [](const Message& m) { return !m.editHistory.empty(); });
    // Pictures from another conversation than the one before, where there is one.
    const Truth::Conversation* photos =
        best(*truth, [&](const Truth::Conversation& c) { return &c == talk ? 0 : photoScore(c); });
    showThread(QStringLiteral("03-thread-photos"), photos ? photos : best(*truth, photoScore), [](const Message& m) {
        for (const Attachment& a : m.attachments)
            if (a.kind() == AttachmentKind::image && a.isAvailable && !a.isSticker) return true;
        return false;
    });
    showThread(QStringLiteral("04-group"), best(*truth, groupScore), [](const Message& m) { return m.isEvent(); });

    // 07 to 09: the conversation of 02 exported as a record PDF into the temporary folder, and verified.
    const auto exportAndVerify = [&](const Truth::Conversation& sample) {
        const Conversation* conversation = find(model, sample);
        if (!conversation) {
            report << QStringLiteral("FAIL 07-export: no such conversation in the sample");
            return;
        }
        model.setSelection({qt(conversation->id)});
        if (!waitFor([&] { return !model.threadLoading() && model.thread(); })) {
            report << QStringLiteral("FAIL 07-export: the thread did not load");
            return;
        }
        model.rememberLayout(ExportLayout::record);
        ExportSheet* sheet = window.openExportSheet();
        if (!sheet) {
            report << QStringLiteral("FAIL 07-export: no export sheet");
            return;
        }
        settle();
        capture(QStringLiteral("07-export"), sheet);

        const QString pdf = temp.filePath(QStringLiteral("exports/") + model.suggestedName(*model.thread(), ExportFormat::pdf));
        QDir().mkpath(temp.filePath(QStringLiteral("exports")));
        sheet->askForPlace = [pdf](const ExportSheet::PlaceRequest&) { return pdf; };
        sheet->start();
        if (!waitFor([&] { return sheet->phase() == ExportSheet::Phase::done || sheet->phase() == ExportSheet::Phase::failed; }) ||
            sheet->phase() != ExportSheet::Phase::done) {
            report << QStringLiteral("FAIL 08-exported: ") + sheet->failure();
            sheet->close();
            return;
        }
        settle();
        capture(QStringLiteral("08-exported"), sheet);
        sheet->accept();
        settle();

        window.verifyFile(pdf);
        VerifySheet* verify = window.verifySheet();
        if (!verify || !waitFor([&] { return verify->showsResult(); })) {
            report << QStringLiteral("FAIL 09-verified: no verdict");
            return;
        }
        if (!model.verifyResult()->summary.ok)
            report << QStringLiteral("FAIL 09-verified: ") + qt(model.verifyResult()->summary.title);
        settle();
        capture(QStringLiteral("09-verified"), verify);
        verify->accept();
        settle();
    };
    if (talk) {
        exportAndVerify(*talk);
    } else {
        report << QStringLiteral("FAIL 07-export: no conversation to export");
    }

    if (model.conversations().size() >= 2) {
        model.setSelection({qt(model.conversations()[0].id), qt(model.conversations()[1].id)});
        settle();
        if (window.detail()->page() != DetailPane::Page::batch) report << QStringLiteral("FAIL 10-batch: no batch panel");
        capture(QStringLiteral("10-batch"));
    } else {
        report << QStringLiteral("FAIL 10-batch: fewer than two conversations");
    }

    SettingsWindow* settings = window.openSettings();
    settings->resize(settings->sizeHint());
    settle();
    capture(QStringLiteral("11-settings"), nullptr, settings);
    settings->close();

    // 12 and 13: the password sheet over an encrypted iPhone backup, as the model answers the engine's
    // failures (the sample is no backup), and the sheet after a password that does not open it.
    History::Failure locked;
    locked.kind = History::Failure::Kind::needsPassword;
    locked.path = utf8(temp.filePath(QStringLiteral("Backup/00008110-001A2B3C4D5E")));
    locked.detail = "This iPhone backup is encrypted. Enter the password that was set for its backups.";
    model.location_ = HistoryLocation{};
    model.location_.messagesPath = locked.path;
    model.openFailed(locked);
    settle();
    PasswordSheet* password = window.passwordSheet();
    if (!password) {
        report << QStringLiteral("FAIL 12-password: no password sheet");
    } else {
        capture(QStringLiteral("12-password"), password);
        History::Failure wrong = locked;
        wrong.kind = History::Failure::Kind::wrongPassword;
        wrong.detail = "The password doesn't open this iPhone backup. It is the password set for encrypted backups "
                       "of this iPhone, not the iPhone's passcode.";
        model.openFailed(wrong);
        settle();
        capture(QStringLiteral("13-password-wrong"), password);
        password->reject();
        settle();
    }

    // 14: nothing at the place looked for, with the ways to get a history.
    History::Failure missing;
    missing.kind = History::Failure::Kind::missing;
    missing.path = refused.path;
    model.location_.messagesPath = missing.path;
    model.openFailed(missing);
    settle();
    if (window.screen() != MainWindow::Screen::missing) report << QStringLiteral("FAIL 14-missing: no missing screen");
    capture(QStringLiteral("14-missing"));
    window.close();
    return finish();
}

}  // namespace quillmark::app
