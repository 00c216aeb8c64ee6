#pragma once
// What the data page's and the I/O page's models do alike over their graph's data: the
// window it draws, whether it draws, which traces are shown and which are enabled. The graph's
// data belongs to the front end (its widget or window draws it); the model sets it.

#include "window/MonitorPageModel.h"

#include <string>
#include <vector>

namespace kestiva {

template <typename Graph>
class GraphPageModel : public MonitorPageModel {
public:
    const Graph& graph() const { return graph_; }

protected:
    GraphPageModel(MonitorPageView& view, LanguageCatalogue& catalogue, TraceStyle style,
                   Graph& graph, std::size_t traceCount)
        : MonitorPageModel(view, catalogue, style),
          graph_(graph),
          names_(traceCount),
          enabled_(traceCount, false) {}

    GraphWindow shownWindow() const override { return {graph_.firstIndex, graph_.lastIndex}; }
    bool tracesDrawn() const override { return graph_.hasSamples && graph_.drawEnabled; }
    void showWindow(GraphWindow window, bool drawable) override {
        graph_.firstIndex = window.first;
        graph_.lastIndex = window.last;
        graph_.drawEnabled = drawable ? 1 : 0;
    }
    uint32_t shownTraces() const override {
        uint32_t shown = 0;
        for (uint32_t k = 0; k < graph_.usableTraceCount() && k < names_.size(); ++k)
            if (graph_.traceVisible[k])
                shown |= 1u << k;
        return shown;
    }
    std::vector<std::string> shownNames() const override {
        std::vector<std::string> names;
        for (std::size_t k = 0; k < names_.size() && k < graph_.traceVisible.size(); ++k)
            if (enabled_[k] && graph_.traceVisible[k])
                names.push_back(names_[k]);
        return names;
    }

    // The shares of Initialise and Clear both pages have: the captions and time edits with
    // every check box of `check`'s kind ticked; an empty graph and time window; the empty graph
    // painted in `colors`.
    void initialiseChecks(bool timeEditSign, const ColorTable& colors, PageControlKind check) {
        initialiseTimeControls(timeEditSign, colors);
        for (std::size_t k = 0; k < names_.size(); ++k)
            view_.setChecked({check, int(k)}, true);
    }
    void clearGraph() {
        graph_.drawEnabled = 0;
        graph_.clearSamples();
        view_.graphChanged();
        clearTimeControls();
    }
    void paintEmptyGraph(const ColorTable& colors) {
        graph_.backgroundColor = colors.backgroundColor;
        graph_.gridColor = colors.gridColor;
        view_.graphChanged();
    }

    // Shows or hides trace k as its check box says; `redraw` also lets a hidden window draw.
    bool showTrace(std::size_t k, bool checked, bool drawAgain) {
        if (k >= graph_.traceVisible.size())
            return false;
        graph_.traceVisible[k] = checked ? 1 : 0;
        if (drawAgain)
            graph_.drawEnabled = 1;
        view_.graphChanged();
        describeGraph();
        refreshOverlays();
        return true;
    }

    // Apply colour table: the graph's background, grid and the colours of the enabled traces,
    // painted again at once.
    void applyGraphColors(const ColorTable& colors) {
        colors_ = colors;
        graph_.backgroundColor = colors.backgroundColor;
        graph_.gridColor = colors.gridColor;
        for (std::size_t k = 0; k < enabled_.size() && k < graph_.traceColor.size(); ++k)
            if (enabled_[k])
                graph_.traceColor[k] = colors.traceColors[k];
        graph_.drawEnabled = 1;
        view_.graphChanged();
        refreshOverlays();
    }

    Graph& graph_;
    std::vector<std::string> names_;  // each trace's name, as its check box shows it
    std::vector<bool> enabled_;       // the recording holds the trace
};

}  // namespace kestiva
