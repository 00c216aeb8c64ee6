#pragma once
// What the page tests share: the program's own catalogue, recordings made to order, typing
// into a number edit as a user does, and mouse events sent to a graph.

#include "recording/SampleTables.h"
#include "settings/LanguageCatalogue.h"
#include "settings/NumberText.h"
#include "settings/ProgramFolder.h"
#include "views/MonitorPage.h"
#include "views/NumberEditEx.h"
#include "views/QtWindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace kestiva {

// The catalogue beside the test program, as start-up loads it.
inline LanguageCatalogue& programCatalogue() {
    static LanguageCatalogue catalogue = [] {
        LanguageCatalogue c(programFolder());
        c.languageLoaded = true;
        c.LoadLanguageCatalogue();
        return c;
    }();
    return catalogue;
}

inline ColorTable testColors() {
    ColorTable colors;
    colors.name = "test";
    colors.backgroundColor = 0x202020;
    colors.gridColor = 0xC0C0C0;
    colors.traceColorCount = 16;
    for (std::size_t i = 0; i < colors.traceColors.size(); ++i)
        colors.traceColors[i] = 0x0000FF + Color(i) * 0x0F0F00;  // red first, then bluer
    return colors;
}

inline DataItem dataItem(const char* name, int32_t type, double scale, const char* scaleText,
                         const char* unit) {
    DataItem item;
    item.name = name;
    item.enabled = 1;
    item.typeCode = type;
    item.scale = scale;
    item.scaleText = scaleText;
    item.unit = unit;
    return item;
}

// A data recording: "Current" holds 700 throughout (7.00 A at a scale of 0.010), "Speed"
// climbs by one a sample from -50 (rpm), item 3 is disabled.
inline std::unique_ptr<PageRecording> dataRecording(uint16_t cycle, uint32_t samples,
                                                    EndMarker marker = EndMarker::CutShort,
                                                    uint16_t time = 10) {
    auto page = std::make_unique<PageRecording>(kDataMonitor);
    page->active.items[0] = dataItem("Current", kTypeUword, 0.010, "0.010", "A");
    page->active.items[1] = dataItem("Speed", kTypeWord, 1.0, "1", "rpm");
    page->cycle = cycle;
    page->time = time;
    page->endMarker = marker;
    page->sampleCount = samples;
    for (uint32_t j = 0; j < samples; ++j) {
        page->dataValue(j, 0) = 700;
        page->dataValue(j, 1) = int32_t(j) - 50;
    }
    return page;
}

// Types `text` over the edit's contents and presses Enter, as a user commits a value. The
// page hears of it only once the event loop runs (see settle()).
inline void typeAndEnter(CNumberEditEx* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

inline void settle() {
    QCoreApplication::processEvents();
}

inline void sendMouse(QWidget* target, QEvent::Type type, QPoint at,
                      Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

inline void sendWheel(QWidget* target, QPoint at, int notches) {
    QWheelEvent event(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(),
                      QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(target, &event);
}

// Everything a user can do with the mouse and the time edits, on whatever the page shows.
inline void pokeEverything(CMonitorPage& page, QWidget* graph) {
    for (int x = -1; x <= graph->width() + 1; x += 37)
        sendMouse(graph, QEvent::MouseMove, QPoint(x, 5));
    sendWheel(graph, QPoint(graph->width() / 2, 5), 3);
    sendWheel(graph, QPoint(0, 5), -3);
    sendMouse(graph, QEvent::MouseButtonPress, QPoint(10, 5), Qt::LeftButton);
    sendMouse(graph, QEvent::MouseMove, QPoint(graph->width(), 5), Qt::LeftButton);
    sendMouse(graph, QEvent::MouseButtonRelease, QPoint(graph->width(), 5), Qt::LeftButton);
    sendMouse(graph, QEvent::MouseButtonDblClick, QPoint(10, 5), Qt::LeftButton);
    for (const char* typed : {"0.1", "99999", "0"}) {
        typeAndEnter(page.findChild<CNumberEditEx*>(QStringLiteral("endTimeEdit")),
                     QLatin1String(typed));
        settle();
    }
    (void)page.grab();
}

}  // namespace kestiva
