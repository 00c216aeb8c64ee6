#pragma once
// A monitor page's shell over its model and its graph: the data page and the I/O page are this
// with their own controls. The operations the window calls go to the model as they are.

#include "views/MonitorPage.h"

#include <cstddef>
#include <memory>

namespace kestiva {

template <typename Model, typename Graph>
class CModelPage : public CMonitorPage {
public:
    // Once, when the window is made: captions, layout, edits, an empty page in `colors`.
    void initialise(const ColorTable& colors) {
        model_->initialise(colors);
        measureControls();
        initialised_ = true;
        layOut();
    }
    // Back to an empty page: "---" everywhere, edits empty, nothing enabled, nothing drawn.
    void clear() { model_->clear(); }
    // Shows `page` (which must outlive its showing: until the next clear or load) read-only,
    // in the page's colour table.
    void loadRecording(const PageRecording& page) { model_->loadRecording(page); }
    // Lets the user change what the loaded recording shows.
    void enableEntry() { model_->enableEntry(); }
    // The colour table for the graph from now on; repaints at once.
    void applyColorTable(const ColorTable& colors) { model_->applyColorTable(colors); }

    // A recording while it arrives (from Start until its load or clear), see the models.
    void beginLive(const ControllerRecord& record, uint16_t cycle, uint16_t time,
                   uint32_t plannedSamples) {
        model_->beginLive(record, cycle, time, plannedSamples);
    }
    template <typename Values>
    void appendLive(bool valid, const Values& values) {
        model_->appendLive(valid, values);
    }
    void showLatest(uint32_t timeMs) { model_->showLatest(timeMs); }

    const Graph& graph() const { return *graph_; }
    const Model& model() const { return *model_; }
    // Bytes the page holds for a recording: the graph's buffers and its pictures.
    std::size_t memoryBytes() const { return graph_->sampleBytes() + graph_->pictureBytes(); }

    ~CModelPage() override { detachModel(); }

protected:
    CModelPage(LanguageCatalogue& catalogue, QWidget* parent, const QString& graphName,
               const QString& graphAccessibleName)
        : CMonitorPage(catalogue, parent), graph_(new Graph(this)) {
        graph_->setObjectName(graphName);
        graph_->setAccessibleName(graphAccessibleName);
        MonitorPageView& view = *this;
        model_ = std::make_unique<Model>(view, catalogue, *graph_);
        attachGraph(graph_, *model_);
    }

    // Measures what the controls need, once their captions are set.
    virtual void measureControls() = 0;

    void resizeEvent(QResizeEvent* event) override {
        CMonitorPage::resizeEvent(event);
        layOut();
    }

    Graph* graph_;
    std::unique_ptr<Model> model_;
    bool initialised_ = false;
};

}  // namespace kestiva
