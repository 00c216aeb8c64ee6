#include "tools/cli/PlotFrame.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>

namespace kestiva::cli {

namespace {

constexpr int kPad = 6;          // between texts and around the picture
constexpr int kTick = 4;         // the time axis' marks below the graph
constexpr int kFontPixels = 12;  // the labels' size, whatever the system's default font

QColor qColor(Color c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Black on a light background, near white on a dark one.
QColor textColor(Color background) {
    const QColor b = qColor(background);
    const int luminance = (299 * b.red() + 587 * b.green() + 114 * b.blue()) / 1000;
    return luminance < 128 ? QColor(0xE0, 0xE0, 0xE0) : QColor(0, 0, 0);
}

QFont labelFont() {
    QFont font = QGuiApplication::font();
    font.setPixelSize(kFontPixels);
    return font;
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

int textWidth(const QFontMetrics& metrics, const std::string& s) {
    return metrics.horizontalAdvance(text(s));
}

// The widest label (unit included) of one value axis.
int axisWidth(const QFontMetrics& metrics, const PlotFrameContent::ValueAxis& axis) {
    int width = textWidth(metrics, axis.unit);
    for (const std::string& label : axis.labels)
        width = std::max(width, textWidth(metrics, label));
    return width;
}

struct Margins {
    int left = kPad;
    int top = kPad;
    int right = kPad;
    int bottom = kPad;
};

Margins frameMargins(const PlotFrameContent& content, const QFontMetrics& metrics) {
    const int line = metrics.height();
    Margins m;
    // The title, then a row for the units above the value axes.
    m.top = kPad + line + kPad + line;
    for (const auto& axis : content.valueAxes)
        m.left += axisWidth(metrics, axis) + kPad;
    int lane = 0;
    for (const auto& l : content.lanes)
        lane = std::max(lane, textWidth(metrics, l.name));
    m.left += lane > 0 ? lane + kPad : 0;
    // The first and last time labels are centred on the graph's edges.
    m.left = std::max(m.left, textWidth(metrics, content.timeLabels.front()) / 2 + kPad);
    m.right = textWidth(metrics, content.timeLabels.back()) / 2 + kPad;
    m.bottom = kTick + line + kPad + (content.legend.empty() ? 0 : line + kPad);
    return m;
}

PlotFrameContent frameBase(const PageRecording& page, const ColorTable& colors,
                           const std::string& fileName, const std::string& monitor,
                           const std::string& cycle, double span) {
    PlotFrameContent content;
    content.title = fileName + "    " + monitor + " monitor    start " + page.startDate +
                    "    cycle " + cycle + " ms";
    for (int i = 0; i < 5; ++i)
        content.timeLabels[std::size_t(i)] = labelText(span * i / 4.0);
    content.timeLabels[4] += " s";
    content.background = colors.backgroundColor;
    content.grid = colors.gridColor;
    return content;
}

void drawValueAxes(QPainter& p, const PlotFrameContent& content, QRect area,
                   const QFontMetrics& metrics) {
    int right = area.left() - kPad;
    for (const auto& axis : content.valueAxes) {
        const int width = axisWidth(metrics, axis);
        p.setPen(qColor(axis.color));
        const QRect unit(right - width, area.top() - metrics.height() - 2, width, metrics.height());
        p.drawText(unit, Qt::AlignRight | Qt::AlignBottom, text(axis.unit));
        for (int j = 0; j < 5; ++j) {
            // The grid's major lines; the end labels stay inside the graph's height.
            const int y = area.top() + (area.height() - 1) * j / 4;
            const int top = std::clamp(y - metrics.height() / 2, area.top(),
                                       area.bottom() + 1 - metrics.height());
            p.drawText(QRect(right - width, top, width, metrics.height()),
                       Qt::AlignRight | Qt::AlignVCenter, text(axis.labels[std::size_t(j)]));
        }
        right -= width + kPad;
    }
}

void drawLanes(QPainter& p, const PlotFrameContent& content, QRect area,
               const QFontMetrics& metrics) {
    for (const auto& lane : content.lanes) {
        p.setPen(qColor(lane.color));
        const int y = area.top() + int(lane.middle * area.height());
        p.drawText(QRect(0, y - metrics.height() / 2, area.left() - kPad, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, text(lane.name));
    }
}

void drawTimeAxis(QPainter& p, const PlotFrameContent& content, QRect area,
                  const QFontMetrics& metrics, QColor color) {
    p.setPen(color);
    const int below = area.bottom() + 1;
    for (int i = 0; i < 5; ++i) {
        // At the grid's major lines (a quarter of the width each) and the right edge.
        const int x = i < 4 ? area.left() + area.width() * i / 4 : area.right();
        p.drawLine(x, below, x, below + kTick - 1);
        const std::string& label = content.timeLabels[std::size_t(i)];
        const int width = textWidth(metrics, label);
        p.drawText(QRect(x - width / 2, below + kTick, width + 1, metrics.height()),
                   Qt::AlignCenter, text(label));
    }
}

void drawLegend(QPainter& p, const PlotFrameContent& content, QRect area,
                const QFontMetrics& metrics) {
    const int line = metrics.height();
    const int top = area.bottom() + 1 + kTick + line + kPad;
    int x = area.left();
    for (const auto& entry : content.legend) {
        const QColor color = qColor(entry.color);
        const int swatch = line - 4;
        p.fillRect(QRect(x, top + 2, swatch, swatch), color);
        x += swatch + kPad / 2;
        p.setPen(color);
        const int width = textWidth(metrics, entry.name);
        p.drawText(QRect(x, top, width + 1, line), Qt::AlignLeft | Qt::AlignVCenter,
                   text(entry.name));
        x += width + 3 * kPad;
    }
}

}  // namespace

PlotFrameContent dataPlotFrame(const PageRecording& page, const DataPageFigures& figures,
                               const ColorTable& colors, const std::string& fileName) {
    PlotFrameContent content =
        frameBase(page, colors, fileName, "data", figures.cycleText, figures.span);
    for (int k = 0; k < kDataItemCount; ++k) {
        const ItemFigures& f = figures.items[std::size_t(k)];
        if (!f.enabled)
            continue;
        const Color color = colors.traceColors[std::size_t(k)];
        const ValueRange b = f.bounds;
        content.valueAxes.push_back({f.unit,
                                     color,
                                     {labelText(b.upper), f.valueLabels[0], f.valueLabels[1],
                                      f.valueLabels[2], labelText(b.lower)}});
        content.legend.push_back({f.unit.empty() ? f.name : f.name + " [" + f.unit + "]", color});
    }
    return content;
}

PlotFrameContent ioPlotFrame(const PageRecording& page, const IoPageFigures& figures,
                             const ColorTable& colors, const std::string& fileName) {
    PlotFrameContent content =
        frameBase(page, colors, fileName, "I/O", figures.cycleText, figures.span);
    for (int s = 0; s < kIoSignalCount; ++s) {
        const SignalFigures& f = figures.ioSignals[std::size_t(s)];
        if (!f.enabled)
            continue;
        // A lane spans its low and high levels; its middle is between them.
        const double middle = (double(ioLevel(s, 0)) + double(ioLevel(s, 1))) / 2.0;
        content.lanes.push_back({f.name, colors.traceColors[std::size_t(s)],
                                 1.0 - (middle - kIoLowerBound) / (kIoUpperBound - kIoLowerBound)});
    }
    return content;
}

QRect plotGraphArea(const PlotFrameContent& content, QSize picture) {
    const Margins m = frameMargins(content, QFontMetrics(labelFont()));
    const QRect area(m.left, m.top, picture.width() - m.left - m.right,
                     picture.height() - m.top - m.bottom);
    return area.width() > 0 && area.height() > 0 ? area : QRect();
}

QImage framePlot(const QImage& graph, const PlotFrameContent& content, QSize picture) {
    QImage image(picture, QImage::Format_RGB32);
    image.fill(qColor(content.background));
    const QRect area = plotGraphArea(content, picture);
    QPainter p(&image);
    p.drawImage(area.topLeft(), graph);
    const QFont font = labelFont();
    p.setFont(font);
    const QFontMetrics metrics(font);
    const QColor color = textColor(content.background);
    p.setPen(color);
    p.drawText(QRect(kPad, kPad, picture.width() - 2 * kPad, metrics.height()),
               Qt::AlignLeft | Qt::AlignVCenter, text(content.title));
    drawValueAxes(p, content, area, metrics);
    drawLanes(p, content, area, metrics);
    drawTimeAxis(p, content, area, metrics, color);
    drawLegend(p, content, area, metrics);
    return image;
}

}  // namespace kestiva::cli
