#include "gui/CKestraneView.h"
#include "shell/lineStore.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> Numbered(int first, int last) {
    std::vector<std::string> lines;
    for (int i = first; i <= last; ++i) {
        lines.push_back("Activity line " + std::to_string(i) + ".");
    }
    return lines;
}

std::vector<std::string> Texts(const std::vector<CKestraneView::placedLine>& placed) {
    std::vector<std::string> texts;
    for (const auto& line : placed) {
        texts.push_back(line.text);
    }
    return texts;
}

// Every row starts where the one above it ends, the first at the top.
void ExpectStackedFromTop(const std::vector<CKestraneView::placedLine>& placed,
                          const QFontMetrics& metrics) {
    int y = 0;
    for (const auto& line : placed) {
        EXPECT_EQ(line.y, y) << line.text;
        y += metrics.height();
    }
}

// True if the band of rows [top, bottom) of `image` holds a pixel of another
// colour than its top-left corner (the background).
bool Inked(const QImage& image, int top, int bottom) {
    const QRgb background = image.pixel(0, 0);
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                return true;
            }
        }
    }
    return false;
}

class viewFixture : public testing::Test {
protected:
    viewFixture() : view(store) {
        view.resize(400, 300);
        view.OnUpdate();
        view.show();
    }

    // Renders the visible part of the view, which runs its repaint.
    QImage Render() {
        QImage image(view.viewport()->size(), QImage::Format_RGB32);
        view.viewport()->render(&image);
        return image;
    }

    void Report(const std::vector<std::string>& lines) {
        for (const std::string& line : lines) {
            store.AddLine(&view, line);
        }
    }

    lineStore store;
    CKestraneView view;
};

struct repaintCase {
    int reports;
    int firstHeld;
};

void PrintTo(const repaintCase& c, std::ostream* out) {
    *out << c.reports << " reports";
}

class viewRepaint : public viewFixture, public testing::WithParamInterface<repaintCase> {};

TEST_P(viewRepaint, DrawsTheHeldLinesOldestAtTheTop) {
    Report(Numbered(1, GetParam().reports));
    const QImage image = Render();

    const auto& painted = view.LastPainted();
    EXPECT_EQ(Texts(painted), Numbered(GetParam().firstHeld, GetParam().reports));
    ExpectStackedFromTop(painted, view.fontMetrics());
    const int rowHeight = view.fontMetrics().height();
    for (const auto& line : painted) {
        if (line.y + rowHeight <= image.height()) {
            EXPECT_TRUE(Inked(image, line.y, line.y + rowHeight)) << line.text;
        }
    }
    EXPECT_FALSE(Inked(image, static_cast<int>(painted.size()) * rowHeight, image.height()));
}

// The first report on an empty view; a full ring; the report that drops the
// first line.
INSTANTIATE_TEST_SUITE_P(, viewRepaint,
                         testing::Values(repaintCase{1, 1}, repaintCase{48, 1}, repaintCase{49, 2}),
                         [](const testing::TestParamInfo<repaintCase>& testCase) {
                             return "After" + std::to_string(testCase.param.reports);
                         });

TEST_F(viewFixture, StartsEmpty) {
    EXPECT_FALSE(Inked(Render(), 0, view.viewport()->height()));
    EXPECT_TRUE(view.LastPainted().empty());
}

TEST_F(viewFixture, AnEmptyLineKeepsItsRow) {
    Report({"first", "", "third"});
    Render();
    ExpectStackedFromTop(view.LastPainted(), view.fontMetrics());
}

// Sessions report on their own threads, taking turns so that the order of the
// lines is known; the view repaints on the GUI thread only, once it gets there.
TEST_F(viewFixture, ReportsFromSeveralThreadsAreRepaintedOnTheGuiThread) {
    constexpr int THREADS = 4;
    constexpr int REPORTS = 49;
    const std::vector<std::string> lines = Numbered(1, REPORTS);
    std::mutex lock;
    std::condition_variable turn;
    int next = 0;
    std::vector<std::thread> sessions;
    for (int t = 0; t < THREADS; ++t) {
        sessions.emplace_back([&, t] {
            for (int i = t; i < REPORTS; i += THREADS) {
                std::unique_lock<std::mutex> guard(lock);
                turn.wait(guard, [&] { return next == i; });
                store.AddLine(&view, lines[i]);
                ++next;
                turn.notify_all();
            }
        });
    }
    for (std::thread& session : sessions) {
        session.join();
    }
    EXPECT_TRUE(view.LastPainted().empty()) << "painted off the GUI thread";

    const std::vector<std::string> held = Numbered(2, REPORTS);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Texts(view.LastPainted()) == held; }));
    ExpectStackedFromTop(view.LastPainted(), view.fontMetrics());
}

TEST_F(viewFixture, ScrollingMovesThePaintedLines) {
    Report(Numbered(1, 48));
    const QImage top = Render();
    constexpr int SCROLLED = 3 * CKestraneView::LINE_HEIGHT;
    ASSERT_GE(view.verticalScrollBar()->maximum(), SCROLLED);
    view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_EQ(view.verticalScrollBar()->value(), SCROLLED);

    const QImage scrolled = Render();
    for (int y = 0; y + SCROLLED < top.height(); ++y) {
        ASSERT_EQ(QImage(scrolled.copy(0, y, scrolled.width(), 1)),
                  QImage(top.copy(0, y + SCROLLED, top.width(), 1)))
            << "row " << y;
    }
}

TEST_F(viewFixture, ScrollAreaHasTheFixedSizeAndSteps) {
    EXPECT_EQ(view.verticalScrollBar()->maximum(),
              CKestraneView::TOTAL_HEIGHT - view.viewport()->height());
    EXPECT_EQ(view.horizontalScrollBar()->maximum(),
              CKestraneView::TOTAL_WIDTH - view.viewport()->width());
    EXPECT_EQ(view.verticalScrollBar()->pageStep(), 76);
    EXPECT_EQ(view.verticalScrollBar()->singleStep(), 7);
    EXPECT_EQ(view.horizontalScrollBar()->pageStep(), 102);
    EXPECT_EQ(view.horizontalScrollBar()->singleStep(), 10);
}

// Prints to a PDF file and counts its pages; -1 if printing failed.
int PrintedPages(const CKestraneView& view, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    if (!view.Print(printer)) {
        return -1;
    }
    QFile pdf(path);
    if (!pdf.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray bytes = pdf.readAll();
    return static_cast<int>(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"));
}

TEST_F(viewFixture, PrintsOnePageWithOrWithoutLines) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    EXPECT_EQ(PrintedPages(view, folder.filePath("empty.pdf")), 1);
    Report(Numbered(1, 48));
    EXPECT_EQ(PrintedPages(view, folder.filePath("full.pdf")), 1);
    EXPECT_GT(QFile(folder.filePath("full.pdf")).size(),
              QFile(folder.filePath("empty.pdf")).size());
    EXPECT_EQ(PrintedPages(view, folder.filePath("missing/folder.pdf")), -1);
}

} // namespace
