#pragma once
// The names of the markers A and B over a graph, each in a small box at the foot of the
// marker's line (which the rasteriser draws into the graph's picture). Like the cursor
// readout it lies over the whole graph, lets the mouse through and is moved by its page; a
// move repaints only the boxes involved, never the graph's cached picture.

#include <QColor>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <array>
#include <optional>

namespace kestiva {

class GraphMarkers : public QWidget {
    Q_OBJECT

public:
    // Where a marker is drawn: its x in the graph, or nothing while it is off the window.
    struct Mark {
        std::optional<int> x;
        QString name;
    };

    // Lies over `graph` and follows its size.
    explicit GraphMarkers(QWidget* graph);

    // Shows A's and B's names as `marks` (A first), each in `nameColor` on a box of `color`;
    // `active` is the marker whose line is solid.
    void showMarks(const std::array<Mark, 2>& marks, int active, QColor color, QColor nameColor);

    const std::array<Mark, 2>& marks() const { return marks_; }
    int active() const { return active_; }
    // The box with the marker's name, in the graph's coordinates.
    QRect nameRect(int marker) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRegion covered() const;

    std::array<Mark, 2> marks_;
    int active_ = 0;
    QColor color_;
    QColor nameColor_;
};

}  // namespace kestiva
