#pragma once

#include <QMainWindow>

#include <functional>

class CKestraneView;
class QAction;
class QLabel;
class lineStore;

// The main window: the menu (File, View, Help), the key table of the document
// and print commands, the status bar with its message pane and the CAP, NUM
// and SCRL indicators, and the activity view in the middle.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // `newDocument` renews the document for the New command and tells whether
    // that succeeded.
    CMainFrame(const lineStore& lines, std::function<bool()> newDocument,
               QWidget* parent = nullptr);

    CKestraneView& View() const { return *view; }

    // The text of the status bar's message pane.
    QString StatusText() const;

    // Shows "`name` - Kestrane" as the window's title.
    void SetDocumentTitle(const QString& name);

signals:
    // The window is closing, which ends the program.
    void Closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void BuildKeyTable();
    void BuildStatusBar();
    void UpdateIndicators();

    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnFilePrint();
    void OnAppAbout();

    std::function<bool()> newDocument;
    CKestraneView* view;
    QLabel* messagePane = nullptr;
    QLabel* capsPane = nullptr;
    QLabel* numPane = nullptr;
    QLabel* scrollPane = nullptr;
};
