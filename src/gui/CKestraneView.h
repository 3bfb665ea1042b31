#pragma once

#include "platform/drawSurface.h"

#include <QAbstractScrollArea>

#include <atomic>
#include <string>
#include <vector>

class QPainter;
class QPrinter;
class lineStore;

// The activity view: the latest activity lines of the shop, drawn from the top
// of a fixed 1024 by 768 scroll area, oldest first. It is also the drawing
// surface of the sessions: a report from any thread only schedules a repaint
// here, and the repaint, on the GUI thread, draws what the store holds then.
class CKestraneView : public QAbstractScrollArea, public drawSurface {
    Q_OBJECT

public:
    static constexpr int TOTAL_WIDTH = 1024;
    static constexpr int TOTAL_HEIGHT = 768;
    static constexpr int PAGE_WIDTH = TOTAL_WIDTH / 10;
    static constexpr int PAGE_HEIGHT = TOTAL_HEIGHT / 10;
    static constexpr int LINE_WIDTH = PAGE_WIDTH / 10;
    static constexpr int LINE_HEIGHT = PAGE_HEIGHT / 10;

    // One line as it was drawn: its text and the top of its row, in the
    // coordinates of the scroll area (or of the page when printing).
    struct placedLine {
        std::string text;
        int y;
        bool operator==(const placedLine&) const = default;
    };

    explicit CKestraneView(const lineStore& store, QWidget* parent = nullptr);

    // Any thread: a line was added to the store; repaint soon. Reports that
    // come faster than the GUI thread repaints share one repaint.
    void LineAdded(const std::string& newest) override;

    // Sets the scroll sizes and marks the whole view for repainting. Runs at
    // the first update and again when the document is renewed or reopened.
    void OnUpdate();

    // Draws the held lines on `painter` from (0, 0) down, oldest first, each
    // row as high as the painter's font measures its text. Returns where each
    // line went.
    std::vector<placedLine> OnDraw(QPainter& painter) const;

    // Prints the held lines on one page of `printer`, from the top. False if
    // the print job could not be started.
    bool Print(QPrinter& printer) const;

    // The lines of the latest repaint of the screen, where they were drawn.
    const std::vector<placedLine>& LastPainted() const { return lastPainted; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void UpdateScrollRanges();

    const lineStore& store;
    std::atomic<bool> repaintPending{false};
    std::vector<placedLine> lastPainted;
};
