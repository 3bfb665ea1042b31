#include "gui/CKestraneView.h"

#include "shell/lineStore.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>

#include <algorithm>

CKestraneView::CKestraneView(const lineStore& lines, QWidget* parent)
    : QAbstractScrollArea(parent), store(lines) {
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void CKestraneView::LineAdded(const std::string& /*newest*/) {
    if (repaintPending.exchange(true)) {
        return;
    }
    // Cleared before the repaint is asked for, so a line stored after this
    // point either makes the same repaint or asks for another one.
    QMetaObject::invokeMethod(
        this,
        [this] {
            repaintPending = false;
            viewport()->update();
        },
        Qt::QueuedConnection);
}

void CKestraneView::OnUpdate() {
    horizontalScrollBar()->setPageStep(PAGE_WIDTH);
    horizontalScrollBar()->setSingleStep(LINE_WIDTH);
    verticalScrollBar()->setPageStep(PAGE_HEIGHT);
    verticalScrollBar()->setSingleStep(LINE_HEIGHT);
    UpdateScrollRanges();
    viewport()->update();
}

std::vector<CKestraneView::placedLine> CKestraneView::OnDraw(QPainter& painter) const {
    const QFontMetrics metrics = painter.fontMetrics();
    std::vector<placedLine> placed;
    int y = 0;
    for (std::string& line : store.Lines()) {
        // The lines are single-byte texts; Latin-1 maps every byte to a character.
        const QString text = QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
        painter.drawText(QPoint(0, y + metrics.ascent()), text);
        placed.push_back({std::move(line), y});
        y += metrics.size(Qt::TextSingleLine, text).height();
    }
    return placed;
}

bool CKestraneView::Print(QPrinter& printer) const {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    painter.setFont(font());
    OnDraw(painter);
    return painter.end();
}

QSize CKestraneView::sizeHint() const {
    return {640, 400};
}

void CKestraneView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    lastPainted = OnDraw(painter);
}

void CKestraneView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRanges();
}

void CKestraneView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    viewport()->update();
}

void CKestraneView::UpdateScrollRanges() {
    const QSize shown = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, TOTAL_WIDTH - shown.width()));
    verticalScrollBar()->setRange(0, std::max(0, TOTAL_HEIGHT - shown.height()));
}
