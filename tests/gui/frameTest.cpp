#include "gui/CAboutBox.h"
#include "gui/CKestraneView.h"
#include "gui/CMainFrame.h"
#include "shell/lineStore.h"
#include "shownWatcher.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

class frameFixture : public testing::Test {
protected:
    frameFixture()
        : frame(store, [this] {
              ++renewals;
              return true;
          }) {
        frame.View().OnUpdate();
        frame.show();
        EXPECT_TRUE(Activate());
    }

    // Keys reach the window's shortcuts and menu bar while it is active; a
    // dialog that has just closed may not have given the activation back yet.
    bool Activate() {
        frame.activateWindow();
        return QTest::qWaitForWindowActive(&frame);
    }

    QMenu* Menu(const QString& title) const {
        for (QAction* entry : frame.menuBar()->actions()) {
            if (entry->text() == title) {
                return entry->menu();
            }
        }
        return nullptr;
    }

    // Opens a menu of the menu bar with its Alt key, as the user would.
    QMenu* OpenMenu(const QString& title, Qt::Key key) {
        EXPECT_TRUE(Activate());
        QTest::keyClick(&frame, key, Qt::AltModifier);
        QMenu* menu = Menu(title);
        return menu != nullptr && menu->isVisible() ? menu : nullptr;
    }

    void Press(const QKeySequence& keys) {
        EXPECT_TRUE(Activate());
        QTest::keySequence(&frame.View(), keys);
    }

    lineStore store;
    int renewals = 0;
    CMainFrame frame;
};

TEST_F(frameFixture, StartsReadyWithAnEmptyViewAndTheUntitledTitle) {
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Untitled - Kestrane"));
    EXPECT_EQ(frame.StatusText(), QStringLiteral("Ready"));
    EXPECT_TRUE(frame.statusBar()->isVisible());
    EXPECT_FALSE(frame.windowIcon().isNull());
    frame.View().viewport()->repaint();
    EXPECT_TRUE(frame.View().LastPainted().empty());
}

struct menuCase {
    QString menu;
    Qt::Key altKey;
    QString item;
    QString prompt;
};

// Each menu's item shows its prompt while it is highlighted; with no item
// highlighted the message pane says "Ready".
TEST_F(frameFixture, MenuItemsShowTheirPromptsWhileHighlighted) {
    const menuCase cases[] = {
        {"&File", Qt::Key_F, "E&xit", "Quit the application"},
        {"&View", Qt::Key_V, "&Status Bar", "Show or hide the status bar"},
        {"&Help", Qt::Key_H, "&About Kestrane...",
         "Display program information, version number and copyright"},
    };
    EXPECT_EQ(frame.menuBar()->actions().size(), std::size(cases));
    for (const menuCase& c : cases) {
        SCOPED_TRACE(c.menu.toStdString());
        QMenu* menu = OpenMenu(c.menu, c.altKey);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        QAction* item = menu->actions().first();
        EXPECT_EQ(item->text(), c.item);
        EXPECT_EQ(menu->activeAction(), item);
        EXPECT_EQ(frame.StatusText(), c.prompt);

        QTest::mouseMove(&frame.View());
        EXPECT_EQ(frame.StatusText(), QStringLiteral("Ready"));
        QTest::mouseMove(menu, menu->actionGeometry(item).center());
        EXPECT_EQ(frame.StatusText(), c.prompt);

        QTest::keyClick(menu, Qt::Key_Escape);
        QTest::keyClick(frame.menuBar(), Qt::Key_Escape);
        EXPECT_FALSE(menu->isVisible());
        EXPECT_EQ(frame.StatusText(), QStringLiteral("Ready"));
    }
}

TEST_F(frameFixture, StatusBarToggleLeavesTheViewAsItWas) {
    for (int i = 1; i <= 5; ++i) {
        store.AddLine(nullptr, "line " + std::to_string(i));
    }
    frame.View().viewport()->repaint();
    const auto before = frame.View().LastPainted();
    ASSERT_EQ(before.size(), 5u);

    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "shown again" : "hidden");
        QMenu* menu = OpenMenu("&View", Qt::Key_V);
        ASSERT_NE(menu, nullptr);
        QTest::keyClick(menu, Qt::Key_Return);
        EXPECT_EQ(frame.statusBar()->isVisible(), shown);
        EXPECT_EQ(Menu("&View")->actions().first()->isChecked(), shown);
        frame.View().viewport()->repaint();
        EXPECT_EQ(frame.View().LastPainted(), before);
    }
}

TEST_F(frameFixture, ExitClosesTheWindow) {
    QMenu* menu = OpenMenu("&File", Qt::Key_F);
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_FALSE(frame.isVisible());
}

struct aboutSeen {
    QString title;
    QStringList texts;
    bool iconShown = false;
    QString defaultButton;
};

aboutSeen Inspect(CAboutBox* box) {
    aboutSeen seen;
    seen.title = box->windowTitle();
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            seen.texts << label->text();
        }
        seen.iconShown = seen.iconShown || !label->pixmap().isNull();
    }
    for (const QPushButton* button : box->findChildren<QPushButton*>()) {
        if (button->isDefault()) {
            seen.defaultButton = button->text();
        }
    }
    return seen;
}

// Help, About shows the box modally; Esc closes it, and so does OK.
TEST_F(frameFixture, AboutBoxShowsTheVersionAndClosesWithEscOrOk) {
    for (const bool byEsc : {true, false}) {
        SCOPED_TRACE(byEsc ? "Esc" : "OK");
        aboutSeen seen;
        shownWatcher<CAboutBox> answer([&](CAboutBox* box) {
            seen = Inspect(box);
            if (byEsc) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                QTest::mouseClick(box->findChild<QDialogButtonBox*>()->buttons().first(),
                                  Qt::LeftButton);
            }
        });
        QMenu* menu = OpenMenu("&Help", Qt::Key_H);
        ASSERT_NE(menu, nullptr);
        QTest::keyClick(menu, Qt::Key_Return);
        // The command returns once the box is closed.
        EXPECT_EQ(answer.Count(), 1);
        EXPECT_EQ(seen.title, QStringLiteral("About Kestrane"));
        EXPECT_EQ(seen.texts, QStringList{QStringLiteral("Kestrane Version 1.0")});
        EXPECT_TRUE(seen.iconShown);
        EXPECT_EQ(seen.defaultButton, QStringLiteral("OK"));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST_F(frameFixture, NewRenewsTheDocumentAndResetsTheTitle) {
    frame.SetDocumentTitle(QStringLiteral("opened.txt"));
    Press(QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(renewals, 1);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Untitled - Kestrane"));
}

// Answers the next file dialog of `mode` by choosing `path`.
class fileChooser : public shownWatcher<QFileDialog> {
public:
    fileChooser(QFileDialog::AcceptMode mode, const QString& path)
        : shownWatcher<QFileDialog>([mode, path, this](QFileDialog* dialog) {
              rightMode = dialog->acceptMode() == mode;
              dialog->selectFile(path);
              static_cast<QDialog*>(dialog)->accept();
          }) {}
    bool rightMode = false;
};

TEST_F(frameFixture, OpenReadsNothingAndOnlyChangesTheTitle) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("record.kst"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("kept as it is");
    file.close();
    store.AddLine(nullptr, "Consumer connect request.");

    fileChooser chooser(QFileDialog::AcceptOpen, path);
    Press(QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(chooser.Count(), 1);
    EXPECT_TRUE(chooser.rightMode);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("record.kst - Kestrane"));
    EXPECT_EQ(store.Lines(), std::vector<std::string>{"Consumer connect request."});
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("kept as it is"));
}

TEST_F(frameFixture, SaveWritesAnEmptyFile) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("saved.kst"));
    store.AddLine(nullptr, "Consumer connect request.");

    fileChooser chooser(QFileDialog::AcceptSave, path);
    Press(QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(chooser.Count(), 1);
    EXPECT_TRUE(chooser.rightMode);
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFile(path).size(), 0);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("saved.kst - Kestrane"));
}

// Ctrl+P asks with the print dialog; a cancelled dialog prints nothing, an
// accepted one prints the held lines on one page.
TEST_F(frameFixture, PrintGoesThroughThePrintDialog) {
    QTemporaryDir folder;
    store.AddLine(nullptr, "Consumer connect request.");
    for (const bool accept : {false, true}) {
        SCOPED_TRACE(accept ? "accepted" : "cancelled");
        const QString path = folder.filePath(accept ? "accepted.pdf" : "cancelled.pdf");
        bool fileFieldFound = false;
        shownWatcher<QPrintDialog> answer([&](QPrintDialog* dialog) {
            // The dialog's own field for the file that "print to file" writes.
            auto* fileName = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
            fileFieldFound = fileName != nullptr;
            if (fileFieldFound) {
                fileName->setText(path);
            }
            accept&& fileFieldFound ? dialog->accept() : dialog->reject();
        });
        Press(QKeySequence(Qt::CTRL | Qt::Key_P));
        EXPECT_EQ(answer.Count(), 1);
        EXPECT_TRUE(fileFieldFound);
        EXPECT_EQ(QFile::exists(path), accept);
    }
}

} // namespace
