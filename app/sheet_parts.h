// Pieces the sheets and the settings window share: a sheet's heading, text in the secondary colour, a thin
// rule, a button that reads like a link, the verdict's icon (a seal for good, an octagon for bad), and a row
// for a hash with its caption, its value in a fixed-pitch face, a copy button and a line of help.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace quillmark::app {

QLabel* sheetHeading(const QString& text);
// Wrapped plain text in the secondary colour.
QLabel* secondaryLabel(const QString& text);
QWidget* separatorLine();
// A flat button in the link colour.
QPushButton* linkButton(const QString& text);

// A filled check-mark seal in green, or a filled octagon with a cross in red.
class VerdictView : public QWidget {
    Q_OBJECT

public:
    VerdictView(bool good, int side, QWidget* parent = nullptr);
    void setGood(bool good);
    bool good() const { return good_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool good_;
};

// The pages of a sheet, one shown at a time. Unlike a QStackedWidget it is exactly as tall as the page shown
// at its width, so a sheet of wrapped text fits each page.
class SheetPages : public QWidget {
    Q_OBJECT

public:
    explicit SheetPages(QWidget* parent = nullptr);
    void addPage(QWidget* page);
    int currentIndex() const { return current_; }
    // Shows the page and gives the window it is in the height its texts need at the window's width.
    void show(int index);

private:
    QVBoxLayout* column_;
    QList<QWidget*> pages_;
    int current_ = -1;
};

struct HashRow {
    QWidget* row;
    QLabel* value;  // the copy button copies its "copyText" property, else its text
};
HashRow hashRow(const QString& caption, const QString& help);

}  // namespace quillmark::app
