#pragma once
// A monitor page's Windows shell over its model and its graph data: the data page and the I/O
// page are this with their own controls. The operations the window calls go to the model as
// they are.

#include <memory>

#include "window/GraphRaster.h"
#include "win32/MonitorPane.h"

namespace kestiva {

// The graph of a page: its data, drawn by the rasteriser for that data.
inline void rasterPage(const MultiGraphData& graph, PixelView pixels) {
    rasterMultiGraph(graph, pixels);
}
inline void rasterPage(const IoGraphData& graph, PixelView pixels) {
    rasterIoGraph(graph, pixels);
}

template <typename Model, typename Data>
class ModelPane : public MonitorPane {
public:
    // Once, after create: captions, layout, edits, an empty page in `colors`.
    void initialise(const ColorTable& colors) {
        model_->initialise(colors);
        measureControls();
        initialised_ = true;
        layOut();
    }
    void clear() { model_->clear(); }
    // Shows `page` (which must outlive its showing: until the next clear or load) read-only.
    void loadRecording(const PageRecording& page) { model_->loadRecording(page); }
    void enableEntry() { model_->enableEntry(); }
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

    const Model& model() const { return *model_; }
    Model& model() { return *model_; }
    const Data& data() const { return data_; }

protected:
    explicit ModelPane(MonitorKind monitor, LanguageCatalogue& catalogue)
        : MonitorPane(monitor, catalogue, [this](PixelView pixels) { rasterPage(data_, pixels); }) {
        MonitorPageView& view = *this;
        model_ = std::make_unique<Model>(view, catalogue, data_);
        attachModel(*model_);
    }

    Data data_;
    std::unique_ptr<Model> model_;
};

}  // namespace kestiva
