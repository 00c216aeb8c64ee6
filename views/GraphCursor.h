#pragma once
// The cursor readout over a graph: a small box beside the line at the sample under the mouse
// with the sample's time and each shown trace's value in the trace's colour. The line itself
// is drawn into the graph's picture by the rasteriser. The box lies over the whole graph,
// lets the mouse through, and is moved by its page; the graph's own picture is not painted
// again when it moves.

#include <QColor>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>
#include <QWidget>

#include <vector>

namespace kestiva {

class GraphCursor : public QWidget {
    Q_OBJECT

public:
    struct Line {
        QString text;
        QColor color;
    };

    // Lies over `graph` and follows its size.
    explicit GraphCursor(QWidget* graph);

    // Shows the line at x with the readout `lines` (the first is the time), the box in the
    // graph's background and grid colours.
    void showAt(int x, std::vector<Line> lines, QColor background, QColor frame);
    void hideReadout();

    bool shown() const { return isVisible(); }
    int lineX() const { return lineX_; }
    const std::vector<Line>& lines() const { return lines_; }
    // The readout box as placed now, in the graph's coordinates.
    QRect boxRect() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What the box covers, so that a move repaints only there.
    QRegion covered() const;

    int lineX_ = 0;
    std::vector<Line> lines_;
    QColor background_;
    QColor frame_;
};

}  // namespace kestiva
