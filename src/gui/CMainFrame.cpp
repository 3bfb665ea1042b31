#include "gui/CMainFrame.h"

#include "gui/CAboutBox.h"
#include "gui/CKestraneView.h"
#include "gui/appIcon.h"
#include "gui/lockKeys.h"
#include "platform/msgOperator.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QStatusTipEvent>

namespace {
const QString READY = QStringLiteral("Ready");

QLabel* IndicatorPane(const QString& text, QWidget* parent) {
    auto* pane = new QLabel(parent);
    pane->setFrameShape(QFrame::Panel);
    pane->setFrameShadow(QFrame::Sunken);
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(text) + 12);
    return pane;
}
} // namespace

CMainFrame::CMainFrame(const lineStore& lines, std::function<bool()> renew, QWidget* parent)
    : QMainWindow(parent), newDocument(std::move(renew)), view(new CKestraneView(lines, this)) {
    setWindowIcon(AppIcon());
    setCentralWidget(view);
    SetDocumentTitle(QStringLiteral("Untitled"));
    BuildMenu();
    BuildKeyTable();
    BuildStatusBar();
    qApp->installEventFilter(this);
}

QString CMainFrame::StatusText() const {
    return messagePane->text();
}

void CMainFrame::SetDocumentTitle(const QString& name) {
    setWindowTitle(name + QStringLiteral(" - Kestrane"));
}

void CMainFrame::BuildMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* exit = file->addAction(QStringLiteral("E&xit"));
    exit->setStatusTip(QStringLiteral("Quit the application"));
    exit->setMenuRole(QAction::QuitRole);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* bar = viewMenu->addAction(QStringLiteral("&Status Bar"));
    bar->setStatusTip(QStringLiteral("Show or hide the status bar"));
    bar->setCheckable(true);
    bar->setChecked(true);
    connect(bar, &QAction::toggled, this, [this](bool shown) { statusBar()->setVisible(shown); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* about = help->addAction(QStringLiteral("&About Kestrane..."));
    about->setStatusTip(
        QStringLiteral("Display program information, version number and copyright"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &CMainFrame::OnAppAbout);
}

// The document and print commands are reached by their keys only. The other
// standard keys (undo, cut, copy, paste, next and previous pane) have no
// command in this program and do nothing.
void CMainFrame::BuildKeyTable() {
    const struct {
        QKeySequence keys;
        void (CMainFrame::*command)();
    } table[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_N), &CMainFrame::OnFileNew},
        {QKeySequence(Qt::CTRL | Qt::Key_O), &CMainFrame::OnFileOpen},
        {QKeySequence(Qt::CTRL | Qt::Key_S), &CMainFrame::OnFileSave},
        {QKeySequence(Qt::CTRL | Qt::Key_P), &CMainFrame::OnFilePrint},
    };
    for (const auto& entry : table) {
        auto* action = new QAction(this);
        action->setShortcut(entry.keys);
        connect(action, &QAction::triggered, this, entry.command);
        addAction(action);
    }
}

void CMainFrame::BuildStatusBar() {
    messagePane = new QLabel(READY, this);
    capsPane = IndicatorPane(QStringLiteral("CAP"), this);
    numPane = IndicatorPane(QStringLiteral("NUM"), this);
    scrollPane = IndicatorPane(QStringLiteral("SCRL"), this);
    statusBar()->addWidget(messagePane, 1);
    statusBar()->addPermanentWidget(capsPane);
    statusBar()->addPermanentWidget(numPane);
    statusBar()->addPermanentWidget(scrollPane);
    UpdateIndicators();
}

void CMainFrame::UpdateIndicators() {
    const lockKeys keys = lockKeys::Read().value_or(lockKeys{});
    capsPane->setText(keys.caps ? QStringLiteral("CAP") : QString());
    numPane->setText(keys.num ? QStringLiteral("NUM") : QString());
    scrollPane->setText(keys.scroll ? QStringLiteral("SCRL") : QString());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    emit Closing();
    QMainWindow::closeEvent(event);
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        messagePane->setText(tip.isEmpty() ? READY : tip);
        return true;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ApplicationActivate:
        UpdateIndicators();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::OnFileNew() {
    if (newDocument()) {
        SetDocumentTitle(QStringLiteral("Untitled"));
        view->OnUpdate();
    }
}

// The document holds nothing that is saved: opening a file reads nothing from
// it, and only the title changes.
void CMainFrame::OnFileOpen() {
    const QString path = QFileDialog::getOpenFileName(this);
    if (path.isEmpty()) {
        return;
    }
    if (QFile file(path); !file.open(QIODevice::ReadOnly)) {
        Operator().ShowMessage("Failed to open document.");
        return;
    }
    SetDocumentTitle(QFileInfo(path).fileName());
    view->OnUpdate();
}

// Always asks where to save, so that a file opened before is never emptied
// without the user choosing it again.
void CMainFrame::OnFileSave() {
    const QString path = QFileDialog::getSaveFileName(this);
    if (path.isEmpty()) {
        return;
    }
    if (QFile file(path); !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Operator().ShowMessage("Failed to save document.");
        return;
    }
    SetDocumentTitle(QFileInfo(path).fileName());
}

void CMainFrame::OnFilePrint() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted && !view->Print(printer)) {
        Operator().ShowMessage("Failed to start print job.");
    }
}

void CMainFrame::OnAppAbout() {
    CAboutBox box(this);
    box.exec();
}
