// What the user does with the window, offscreen over a history written on the fly: the export sheet from its
// choices to the file (single, batch, HTML, stopped, failing), verifying a PDF (chosen or dropped), the menu
// check, and the settings as the model reads them.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

#include "app/main_window.h"
#include "app/menu_check.h"
#include "app/qt_text.h"
#include "app/settings_window.h"
#include "app_test_support.h"
#include "core/sha256.h"
#include "support/history_fixture.h"

namespace quillmark::app {

using testing::loaded;
using testing::makeModel;
using testing::waitFor;
using quillmark::testing::HistoryFixture;
using Phase = ExportSheet::Phase;

namespace {

// The two conversations' history, a model over it and the window; `ready` loads it and shows the first thread.
struct Window {
    HistoryFixture fixture{testing::twoConversations()};
    QTemporaryDir settings;
    std::unique_ptr<AppModel> model = makeModel(settings, qt(fixture.data().string()));
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(*model);

    bool ready() {
        return loaded(*model) && waitFor([&] { return model->thread() && !model->threadLoading(); });
    }
    // Opens the sheet; its destination dialog answers `place`.
    ExportSheet* sheet(const QString& place) {
        ExportSheet* opened = window->openExportSheet();
        if (opened) opened->askForPlace = [place](const ExportSheet::PlaceRequest&) { return place; };
        return opened;
    }
};

bool ended(ExportSheet* sheet) {
    return waitFor([&] { return sheet->phase() == Phase::done || sheet->phase() == Phase::failed; });
}

}  // namespace

class AppFlowsTest : public QObject {
    Q_OBJECT

private slots:
    void singlePDFRemembersTheLayoutAndHashesTheFile();
    void htmlReplacesOnlyAnEarlierExport();
    void stoppedExportLeavesNoFile();
    void batchWritesEachAndKeepsFilesWhenItFails();
    void verifyAnExportAndAPDFThatIsNone();
    void menuCheck();
    void settingsReachTheExport();
};

void AppFlowsTest::singlePDFRemembersTheLayoutAndHashesTheFile() {
    Window w;
    QVERIFY(w.ready());
    QTemporaryDir out;

    // Nothing stored opens on the book; a finished export remembers the layout it used.
    ExportSheet* sheet = w.sheet(out.filePath(QStringLiteral("a.pdf")));
    QVERIFY(sheet);
    QCOMPARE(sheet->layout(), ExportLayout::book);
    QCOMPARE(sheet->title(), QStringLiteral("Export +1 (555) 123-0001"));
    QVERIFY2(sheet->summary().startsWith(QStringLiteral("3 messages · 0 attachments included\n")), qPrintable(sheet->summary()));
    sheet->pick(ExportLayout::record);
    sheet->start();
    QCOMPARE(sheet->phase(), Phase::working);
    QVERIFY(ended(sheet));
    QCOMPARE(sheet->phase(), Phase::done);
    QCOMPARE(w.model->setting(QStringLiteral("lastLayout")), QStringLiteral("record"));
    const auto& exported = *sheet->exported();
    QVERIFY(exported.pages && *exported.pages >= 1);
    QCOMPARE(exported.messages, int64_t(3));
    QVERIFY(exported.fingerprint.has_value());
    QCOMPARE(exported.fileSHA256, SHA256::ofPath(utf8(out.filePath(QStringLiteral("a.pdf")))));
    QVERIFY2(sheet->doneText().endsWith(QStringLiteral(" · 3 messages")), qPrintable(sheet->doneText()));
    sheet->accept();
    QVERIFY(waitFor([&] { return !w.window->exportSheet(); }));

    // The next sheet opens on it; a cancelled dialog leaves the sheet on its choices.
    sheet = w.sheet({});
    QCOMPARE(sheet->layout(), ExportLayout::record);
    sheet->start();
    QCOMPARE(sheet->phase(), Phase::choose);
    sheet->reject();
}

void AppFlowsTest::htmlReplacesOnlyAnEarlierExport() {
    Window w;
    QVERIFY(w.ready());
    QTemporaryDir out;
    const QString folder = out.filePath(w.model->suggestedName(*w.model->thread(), ExportFormat::html));

    // The export goes into a folder of its own inside the one chosen, and a second one takes its place.
    for (int round = 0; round < 2; ++round) {
        ExportSheet* sheet = w.sheet(out.path());
        sheet->pick(ExportFormat::html);
        QCOMPARE(sheet->startButton()->text(), QStringLiteral("Choose Folder…"));
        sheet->start();
        QVERIFY(ended(sheet));
        QVERIFY2(sheet->phase() == Phase::done, qPrintable(sheet->failure()));
        QCOMPARE(qt(sheet->exported()->url.string()), folder);
        QVERIFY(!sheet->exported()->fileSHA256);
        QVERIFY(QFile::exists(folder + QStringLiteral("/index.html")));
        sheet->accept();
        QVERIFY(waitFor([&] { return !w.window->exportSheet(); }));
    }

    // A folder of that name that is not an export stays as it is, and the sheet says why.
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(QDir().mkpath(folder));
    QFile mine(folder + QStringLiteral("/notes.txt"));
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.close();
    ExportSheet* sheet = w.sheet(out.path());
    sheet->pick(ExportFormat::html);
    sheet->start();
    QVERIFY(ended(sheet));
    QCOMPARE(sheet->phase(), Phase::failed);
    QVERIFY2(sheet->failure().contains(QStringLiteral("isn't an export made by Quillmark")), qPrintable(sheet->failure()));
    QVERIFY(QFile::exists(folder + QStringLiteral("/notes.txt")));
    sheet->accept();
}

void AppFlowsTest::stoppedExportLeavesNoFile() {
    Window w;
    QVERIFY(w.ready());
    QTemporaryDir out;
    ExportSheet* sheet = w.sheet(out.filePath(QStringLiteral("stopped.pdf")));
    sheet->start();
    // Escape while it runs stops the export rather than closing the sheet.
    sheet->reject();
    QVERIFY(sheet->isVisible());
    QVERIFY(waitFor([&] { return sheet->phase() != Phase::working; }));
    QCOMPARE(sheet->phase(), Phase::choose);
    QVERIFY(!sheet->exported());
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void AppFlowsTest::batchWritesEachAndKeepsFilesWhenItFails() {
    Window w;
    QVERIFY(w.ready());
    QTemporaryDir out;
    std::vector<QString> ids;
    for (const Conversation& conversation : w.model->conversations()) ids.push_back(qt(conversation.id));
    w.model->setSelection({ids.begin(), ids.end()});
    QCOMPARE(w.window->exportAction()->text(), QStringLiteral("Export 2 Conversations…"));
    ExportSheet* sheet = w.sheet(out.path());
    QVERIFY(sheet->isBatch());
    QCOMPARE(sheet->title(), QStringLiteral("Export 2 Conversations"));
    sheet->pick(ExportFormat::csv);
    sheet->start();
    QVERIFY(ended(sheet));
    QVERIFY2(sheet->phase() == Phase::done, qPrintable(sheet->failure()));
    QCOMPARE(sheet->exported()->count, 2);
    QCOMPARE(QDir(out.path()).entryList({QStringLiteral("*.csv")}).size(), 2);
    QVERIFY2(sheet->doneText().startsWith(QStringLiteral("2 conversations exported")), qPrintable(sheet->doneText()));
    sheet->accept();
    QVERIFY(waitFor([&] { return !w.window->exportSheet(); }));

    // The folder goes away once the first file is written: the sheet fails and that file stays.
    QTemporaryDir second;
    const QString folder = second.filePath(QStringLiteral("exports"));
    QVERIFY(QDir().mkpath(folder));
    w.model->fileWritten = [folder](const ExportService::File&) {
        if (!QFile::exists(folder + QStringLiteral(".kept"))) {
            QDir().rename(folder, folder + QStringLiteral(".kept"));
            QFile blocker(folder);
            blocker.open(QIODevice::WriteOnly);
        }
    };
    sheet = w.sheet(folder);
    sheet->pick(ExportFormat::csv);
    sheet->start();
    QVERIFY(ended(sheet));
    QCOMPARE(sheet->phase(), Phase::failed);
    QVERIFY(!sheet->failure().isEmpty());
    QCOMPARE(QDir(folder + QStringLiteral(".kept")).entryList({QStringLiteral("*.csv")}).size(), 1);
    w.model->fileWritten = nullptr;
    sheet->accept();
}

void AppFlowsTest::verifyAnExportAndAPDFThatIsNone() {
    Window w;
    QVERIFY(w.ready());
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("anna.pdf"));
    ExportSheet* sheet = w.sheet(pdf);
    sheet->start();
    QVERIFY(ended(sheet));
    sheet->accept();
    QVERIFY(waitFor([&] { return !w.window->exportSheet(); }));

    // Chosen from the menu: the export checks out.
    w.window->askForPDF = [pdf] { return pdf; };
    w.window->verifyAction()->trigger();
    VerifySheet* verify = w.window->verifySheet();
    QVERIFY(verify);
    QVERIFY(waitFor([&] { return verify->showsResult(); }));
    QVERIFY2(w.model->verifyResult()->summary.ok, qPrintable(verify->resultText()));
    QCOMPARE(verify->findChild<VerdictView*>()->good(), true);

    // Dropped on the window: a PDF that is not an export, shown with the octagon. "Verify Another…" asks again.
    const QString other = out.filePath(QStringLiteral("other.pdf"));
    QFile file(other);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4\n%%EOF\n");
    file.close();
    w.window->askForPDF = [other] { return other; };
    verify->findChild<QPushButton*>(QStringLiteral("verifyAnother"))->click();
    QVERIFY(waitFor([&] { return verify->showsResult() && w.model->verifyResult()->name == QStringLiteral("other.pdf"); }));
    QVERIFY(!w.model->verifyResult()->summary.ok);
    QVERIFY(std::holds_alternative<Verifier::NotAnExport>(*w.model->verifyResult()->outcome));
    QCOMPARE(verify->findChild<VerdictView*>()->good(), false);
    verify->accept();
    QVERIFY(waitFor([&] { return !w.window->verifySheet(); }));
    QVERIFY(!w.model->verifyResult());

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(other)});
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    // Sent to the window's handler directly: the application routes a drop only to the target of a real drag.
    static_cast<QObject*>(w.window.get())->event(&drop);
    QVERIFY(w.window->verifySheet());
    QVERIFY(waitFor([&] { return w.window->verifySheet()->showsResult(); }));
    QVERIFY(!w.model->verifyResult()->summary.ok);
    w.window->verifySheet()->accept();
}

void AppFlowsTest::menuCheck() {
    Window w;
    const QStringList passed = MenuCheck::run(w.window->menuBar());
    QVERIFY2(passed.back() == QStringLiteral("ok"), qPrintable(passed.join('\n')));
    QVERIFY(passed.contains(QStringLiteral("ok Export… Ctrl+E")));
    QVERIFY(passed.contains(QStringLiteral("ok Verify an Export… Ctrl+Shift+V")));
    // No updater on this system, so no "Check for Updates…" is asked for unless the build has a feed.
    QVERIFY(MenuCheck::run(w.window->menuBar(), true).contains(QStringLiteral("missing \"Check for Updates…\"")));

    w.window->exportAction()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    for (QAction* menu : w.window->menuBar()->actions())
        for (QAction* item : menu->menu()->actions())
            if (item->text() == QStringLiteral("Close")) menu->menu()->removeAction(item);
    const QStringList failed = MenuCheck::run(w.window->menuBar());
    QVERIFY(failed.contains(QStringLiteral("\"Export*\" has Ctrl+R, wanted Ctrl+E")));
    QVERIFY(failed.contains(QStringLiteral("missing \"Close\"")));
    QCOMPARE(failed.back(), QStringLiteral("FAILED"));

    QTemporaryDir out;
    const QString report = out.filePath(QStringLiteral("menus.txt"));
    QVERIFY(MenuCheck::write(failed, report));
    QFile written(report);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(written.readAll()), failed.join('\n') + '\n');
    QVERIFY(!MenuCheck::write(failed, out.filePath(QStringLiteral("no/such/folder/menus.txt"))));
}

void AppFlowsTest::settingsReachTheExport() {
    Window w;
    QVERIFY(w.ready());
    SettingsWindow* settings = w.window->openSettings();
    QCOMPARE(w.window->openSettings(), settings);

    QComboBox* paper = settings->paperChoice();
    const int a4 = paper->findData(QStringLiteral("a4"));
    paper->setCurrentIndex(a4);
    emit paper->activated(a4);
    QCOMPARE(w.model->setting(QStringLiteral("paper")), QStringLiteral("a4"));
    QCOMPARE(w.model->options(ExportLayout::record).paper, Paper::a4);

    QTest::keyClicks(settings->nameField(), QStringLiteral("Kim"));
    QCOMPARE(w.model->options(ExportLayout::book).meName, std::string("Kim"));
    settings->nameField()->selectAll();
    QTest::keyClick(settings->nameField(), Qt::Key_Backspace);
    QCOMPARE(w.model->setting(QStringLiteral("meName")), QString());

    // The filter finds a zone by words; choosing it changes the zone of exports and of the window's dates.
    QTest::keyClicks(settings->zoneFilter(), QStringLiteral("tokyo"));
    QAbstractItemModel* zones = settings->zoneList()->model();
    QCOMPARE(zones->rowCount(), 2);  // the computer's own zone always stays first
    settings->zoneList()->setCurrentIndex(zones->index(1, 0));
    QCOMPARE(w.model->setting(QStringLiteral("timeZone")), QStringLiteral("Asia/Tokyo"));
    QCOMPARE(w.model->options(ExportLayout::record).timeZoneID, std::string("Asia/Tokyo"));
    settings->zoneList()->setCurrentIndex(zones->index(0, 0));
    QCOMPARE(w.model->setting(QStringLiteral("timeZone")), QString());

    // The export sheet's summary follows the settings while it is open.
    w.model->setSetting(QStringLiteral("paper"), QStringLiteral("letter"));
    ExportSheet* sheet = w.window->openExportSheet();
    QVERIFY2(sheet->summary().endsWith(QStringLiteral(" · US Letter")), qPrintable(sheet->summary()));
    w.model->setSetting(QStringLiteral("paper"), QStringLiteral("a4"));
    QVERIFY2(sheet->summary().endsWith(QStringLiteral(" · A4")), qPrintable(sheet->summary()));
    sheet->reject();
}

}  // namespace quillmark::app

QTEST_MAIN(quillmark::app::AppFlowsTest)
#include "app_flows_test.moc"
