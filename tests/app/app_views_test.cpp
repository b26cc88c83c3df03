// The window's views, offscreen: thread rows, short dates, the batch panel, the onboarding screens and the
// damaged-history bar.
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/access_view.h"
#include "app/batch_view.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/thread_items.h"
#include "app/view_dates.h"
#include "app_test_support.h"
#include "sample_history/sample_history.h"
#include "support/history_fixture.h"

namespace quillmark::app {

using testing::loaded;
using testing::makeModel;
using testing::waitFor;
using quillmark::testing::HistoryFixture;
using Item = ThreadItems::Item;

namespace {

Message message(int64_t id, double minutes, const std::string& sender, std::optional<std::string> event = {}) {
    Message m;
    m.id = id;
    m.date = Date{1'700'000'000 + minutes * 60};
    m.isFromMe = sender == "me";
    if (!m.isFromMe && !sender.empty()) m.sender = Participant{sender, std::nullopt};
    m.event = std::move(event);
    return m;
}

std::string people(const std::vector<Item>& items) {
    std::string shown;
    for (const Item& item : items)
        shown += item.kind == Item::Kind::time ? "|" : item.kind == Item::Kind::event ? "E" : item.showSender ? "N" : "m";
    return shown;
}

}  // namespace

class AppViewsTest : public QObject {
    Q_OBJECT

private slots:
    void threadItems();
    void shortDatesAndTimeLabels();
    void batchPanelForTwoConversations();
    void accessHintAfterTwentySeconds();
    void tryAgainStaysOnTheMissingScreen();
    void damagedHistoryShowsTheBarAndStopsExports();
    void picturesLoadOffTheMainThreadAndAnswerTheMouse();
};

void AppViewsTest::threadItems() {
    MessageThread thread;
    // 59 minutes after the one before: no new label; 61: a new label; exactly an hour: none.
    thread.messages = {message(1, 0, "+1555"), message(2, 59, "+1555"), message(3, 59 + 61, "+1555")};
    QCOMPARE(people(ThreadItems::make(thread)), std::string("|mm|m"));
    thread.messages[2].date = Date{thread.messages[1].date.seconds + 60 * 60};
    QCOMPARE(people(ThreadItems::make(thread)), std::string("|mmm"));
    QCOMPARE(ThreadItems::make(thread).front().id, QStringLiteral("t1"));

    // In a group a sender's name stands over the first of their messages, again after a label or an event,
    // never over the user's own.
    thread.conversation.isGroup = true;
    thread.messages = {message(1, 0, "+1555"), message(2, 1, "+1555"), message(3, 2, "ben@x"), message(4, 3, "me"),
                       message(5, 4, "+1555"), message(6, 5, "", std::string("Ben named the group")),
                       message(7, 6, "+1555"), message(8, 70, "+1555")};
    QCOMPARE(people(ThreadItems::make(thread)), std::string("|NmNmNEN|N"));
}

void AppViewsTest::shortDatesAndTimeLabels() {
    const ViewDates dates("UTC", "en_US");
    const Date now{1'712'318'400};  // Fri, Apr 5, 2024, 12:00 UTC
    const auto daysBack = [&](int days) { return Date{now.seconds - days * 86400.0}; };
    QCOMPARE(dates.shortDate(Date{now.seconds - 3600}, now), QString::fromUtf8("11:00\u202fAM"));
    QCOMPARE(dates.shortDate(daysBack(1), now), QStringLiteral("Yesterday"));
    QCOMPARE(dates.shortDate(daysBack(6), now), QStringLiteral("Saturday"));
    QCOMPARE(dates.shortDate(daysBack(7), now), QStringLiteral("3/29/2024"));
    QCOMPARE(dates.timeLabelDay(now), QStringLiteral("Fri, Apr 5, 2024"));
    QCOMPARE(dates.timeLabelTime(now), QString::fromUtf8("12:00\u202fPM"));
    QCOMPARE(dates.span(daysBack(2), now), QString::fromUtf8("Apr 3\u2009\u2013\u20095, 2024"));
}

void AppViewsTest::batchPanelForTwoConversations() {
    HistoryFixture fixture(HistoryFixture::message(1, 10, "Hello", 1) + HistoryFixture::message(2, 12, "Hi all", 2));
    QTemporaryDir temp;
    auto model = makeModel(temp, qt(fixture.data().string()));
    MainWindow window(*model);
    window.show();
    QVERIFY(loaded(*model));
    QCOMPARE(window.screen(), MainWindow::Screen::ready);
    QVERIFY(waitFor([&] { return window.detail()->page() == DetailPane::Page::thread; }));
    QVERIFY(window.exportAction()->isEnabled());

    window.sidebar()->list()->selectAll();
    QCOMPARE(model->selection().size(), size_t(2));
    QCOMPARE(window.detail()->page(), DetailPane::Page::batch);
    QVERIFY(!model->thread());
    QCOMPARE(window.detail()->batchView()->heading()->text(), QStringLiteral("2 Conversations"));
    QCOMPARE(window.detail()->batchView()->exportButton()->text(), QStringLiteral("Export 2 Conversations…"));
    QCOMPARE(window.detail()->batchView()->rows().rowCount(), 2);
    QVERIFY(window.exportAction()->isEnabled());

    // Back to one: its thread again, under its own title.
    window.sidebar()->list()->setCurrentIndex(window.sidebar()->listModel().index(1));
    QVERIFY(waitFor([&] { return window.detail()->page() == DetailPane::Page::thread; }));
    QCOMPARE(window.detail()->threadTitle()->text(), window.sidebar()->listModel().index(1).data().toString());
    QCOMPARE(window.detail()->threadView()->threadModel().rowCount(), 2);  // a time label and the message

    // A search that hides the chosen conversation leaves it chosen, and its thread shown.
    const std::set<QString> chosen = model->selection();
    window.sidebar()->searchField()->setText(QStringLiteral("no such words"));
    QCOMPARE(window.sidebar()->listModel().rowCount(), 0);
    QCOMPARE(model->selection(), chosen);
    window.sidebar()->searchField()->clear();
    QCOMPARE(model->selection(), chosen);
    QCOMPARE(window.sidebar()->list()->selectionModel()->selectedIndexes().size(), 1);
}

void AppViewsTest::accessHintAfterTwentySeconds() {
    QTemporaryDir temp;
    auto model = makeModel(temp, temp.filePath(QStringLiteral("none")));
    AccessView view(*model);
    auto now = std::chrono::steady_clock::time_point{};
    view.setClock([&] { return now; });
    view.show();
    QWidget* hint = view.findChild<QWidget*>(QStringLiteral("stillRefusedHint"));
    QVERIFY(hint);
    now += std::chrono::seconds(19);
    view.tick();
    QVERIFY(!view.waited());
    QVERIFY(!hint->isVisible());
    now += std::chrono::seconds(1);
    view.tick();
    QVERIFY(view.waited());
    QVERIFY(hint->isVisible());
    // Shown again later, the guide waits again.
    view.hide();
    view.show();
    QVERIFY(!hint->isVisible());
}

void AppViewsTest::tryAgainStaysOnTheMissingScreen() {
    QTemporaryDir temp;
    auto model = makeModel(temp, temp.filePath(QStringLiteral("nothing")));
    MainWindow window(*model);
    window.show();
    QVERIFY(loaded(*model));
    QCOMPARE(window.screen(), MainWindow::Screen::missing);
    int changes = 0;
    connect(model.get(), &AppModel::stateChanged, this, [&] { ++changes; });
    auto* again = window.missingView()->findChild<QPushButton*>(QStringLiteral("tryAgain"));
    QVERIFY(again);
    again->click();
    QTest::qWait(200);
    QCOMPARE(window.screen(), MainWindow::Screen::missing);
    QCOMPARE(changes, 0);

    // Once there is a history, the same button opens it.
    HistoryFixture fixture(HistoryFixture::message(1, 10, "Hello", 1));
    std::filesystem::create_directories(utf8(temp.filePath(QStringLiteral("nothing"))));
    std::filesystem::rename(fixture.messages(), utf8(temp.filePath(QStringLiteral("nothing/Messages"))));
    again->click();
    QVERIFY(waitFor([&] { return window.screen() == MainWindow::Screen::ready; }));
}

void AppViewsTest::damagedHistoryShowsTheBarAndStopsExports() {
    HistoryFixture fixture(HistoryFixture::manyMessages(), true, 1024);
    QVERIFY(fixture.copyLeafPage("chat_message_join", 2, 1));

    QTemporaryDir temp;
    auto model = makeModel(temp, qt(fixture.data().string()));
    MainWindow window(*model);
    window.show();
    QVERIFY(loaded(*model));
    QCOMPARE(window.screen(), MainWindow::Screen::ready);  // what can be read is shown
    QVERIFY(waitFor([&] { return !model->damage().isEmpty(); }));
    QVERIFY(window.detail()->damageBar()->isVisible());
    QVERIFY(!window.exportAction()->isEnabled());
    QVERIFY(model->damage().startsWith(QStringLiteral("The history is damaged: SQLite's integrity check found")));
    QCOMPARE(window.exportAction()->toolTip(), model->damage());
}

void AppViewsTest::picturesLoadOffTheMainThreadAndAnswerTheMouse() {
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("history"));
    auto truth = SampleHistory::write(utf8(folder), {});
    QVERIFY2(truth.has_value(), truth ? "" : truth.error().c_str());
    auto model = makeModel(temp, folder);
    MainWindow window(*model);
    window.resize(1000, 700);
    window.show();
    QVERIFY(loaded(*model));

    // The conversation with the most pictures, and the first message showing one.
    std::string chat;
    size_t most = 0;
    for (const auto& conversation : truth->conversations) {
        size_t pictures = 0;
        for (const auto& message : conversation.messages)
            for (const auto& attachment : message.attachments)
                pictures += attachment.kind == "image" && attachment.isAvailable && !attachment.isSticker;
        if (pictures > most) {
            most = pictures;
            chat = conversation.chatGUIDs.front();
        }
    }
    QVERIFY(most > 0);
    for (const Conversation& conversation : model->conversations())
        if (std::find(conversation.chatGUIDs.begin(), conversation.chatGUIDs.end(), chat) != conversation.chatGUIDs.end())
            model->setSelection({qt(conversation.id)});
    QVERIFY(waitFor([&] { return model->thread() && !model->threadLoading(); }));
    ThreadView* view = window.detail()->threadView();
    const ThreadModel& rows = view->threadModel();
    int row = -1;
    for (int r = 0; r < rows.rowCount() && row < 0; ++r)
        if (rows.item(r).kind == Item::Kind::message)
            for (const Attachment& a : rows.message(r).attachments)
                if (a.kind() == AttachmentKind::image && a.isAvailable && !a.isSticker) row = r;
    QVERIFY(row >= 0);
    // Once every row is laid out, the row's place is final.
    QVERIFY(waitFor([&] { return view->delegate().measuredRows() >= rows.rowCount(); }));
    QTest::qWait(50);
    view->scrollTo(rows.index(row), QAbstractItemView::PositionAtTop);
    const Attachment& picture = *std::find_if(rows.message(row).attachments.begin(), rows.message(row).attachments.end(),
                                              [](const Attachment& a) { return a.kind() == AttachmentKind::image; });
    // Asked for again and again (as painting does), the picture is decoded once and then handed over.
    QVERIFY(waitFor([&] { return !window.thumbnails().image(picture).isNull(); }));
    QVERIFY(!window.thumbnails().failed(picture));

    // Somewhere in the row the picture answers the mouse (a double-click opens it, the menu shows it).
    const QRect rect = view->visualRect(rows.index(row));
    const Attachment* hit = nullptr;
    for (int y = rect.top(); y < rect.bottom() && !hit; y += 8)
        for (int x = rect.left(); x < rect.right() && !hit; x += 16) hit = view->attachmentAt(QPoint(x, y));
    QVERIFY(hit);
    QCOMPARE(hit->guid, picture.guid);

    // The cache keeps to its byte limit, the newest picture first.
    Thumbnails small(1);
    std::vector<Attachment> pictures;
    for (const Message& message : model->thread()->messages)
        for (const Attachment& a : message.attachments)
            if (a.kind() == AttachmentKind::image && a.isAvailable && pictures.size() < 2) pictures.push_back(a);
    QCOMPARE(pictures.size(), size_t(2));
    for (const Attachment& a : pictures) {
        QVERIFY(small.image(a).isNull());
        QVERIFY(waitFor([&] { return small.pending() == 0; }));
    }
    QVERIFY(!small.image(pictures[1]).isNull());
    QCOMPARE(small.bytes(), int64_t(small.image(pictures[1]).sizeInBytes()));
    QVERIFY(small.image(pictures[0]).isNull());  // gone, and being decoded again
}

}  // namespace quillmark::app

QTEST_MAIN(quillmark::app::AppViewsTest)
#include "app_views_test.moc"
