#include "views/MeasurementPanel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestiva {

namespace {

// More rows than this scroll: the graph keeps most of the page.
constexpr int kMostRowsShown = 4;

struct TitleKey {
    TextId id;
    std::string MeasurementTitles::* title;
};

constexpr TitleKey kTitleKeys[] = {
    {text::MSG_MEASURE_ITEM, &MeasurementTitles::item},
    {text::MSG_MEASURE_SIGNAL, &MeasurementTitles::signal},
    {text::MSG_MEASURE_UNIT, &MeasurementTitles::unit},
    {text::MSG_MEASURE_TIME_A, &MeasurementTitles::timeA},
    {text::MSG_MEASURE_TIME_B, &MeasurementTitles::timeB},
    {text::MSG_MEASURE_DELTA, &MeasurementTitles::delta},
    {text::MSG_MEASURE_INVERSE_DELTA, &MeasurementTitles::inverseDelta},
    {text::MSG_MEASURE_AT_A, &MeasurementTitles::atA},
    {text::MSG_MEASURE_AT_B, &MeasurementTitles::atB},
    {text::MSG_MEASURE_DIFFERENCE, &MeasurementTitles::difference},
    {text::MSG_MEASURE_MINIMUM, &MeasurementTitles::minimum},
    {text::MSG_MEASURE_MINIMUM_TIME, &MeasurementTitles::minimumTime},
    {text::MSG_MEASURE_MAXIMUM, &MeasurementTitles::maximum},
    {text::MSG_MEASURE_MAXIMUM_TIME, &MeasurementTitles::maximumTime},
    {text::MSG_MEASURE_MEAN, &MeasurementTitles::mean},
    {text::MSG_MEASURE_RMS, &MeasurementTitles::rms},
    {text::MSG_MEASURE_LEVEL_A, &MeasurementTitles::levelA},
    {text::MSG_MEASURE_LEVEL_B, &MeasurementTitles::levelB},
    {text::MSG_MEASURE_RISING_EDGES, &MeasurementTitles::risingEdges},
    {text::MSG_MEASURE_FALLING_EDGES, &MeasurementTitles::fallingEdges},
    {text::MSG_MEASURE_FIRST_EDGE, &MeasurementTitles::firstEdge},
    {text::MSG_MEASURE_TIME_HIGH, &MeasurementTitles::timeHigh},
};

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

QString figureText(const std::string& text, QChar separator) {
    return qText(text).replace(QLatin1Char('.'), separator);
}

// A cell of a row: a name, or a figure whose point the page shows as its separator.
struct Cell {
    std::string text;
    bool figure = true;
};

std::vector<std::vector<Cell>> itemRows(const MarkerFigures& f) {
    std::vector<std::vector<Cell>> rows;
    for (const ItemMeasurement& m : f.items)
        rows.push_back({{m.name, false},
                        {m.unit, false},
                        {m.atAText},
                        {m.atBText},
                        {m.differenceText},
                        {m.minimumText},
                        {m.minimumTimeText},
                        {m.maximumText},
                        {m.maximumTimeText},
                        {m.meanText},
                        {m.rmsText}});
    return rows;
}

std::vector<std::vector<Cell>> signalRows(const MarkerFigures& f) {
    std::vector<std::vector<Cell>> rows;
    for (const SignalMeasurement& m : f.ioSignals)
        rows.push_back({{m.name, false},
                        {std::to_string(m.levelA)},
                        {std::to_string(m.levelB)},
                        {std::to_string(m.risingEdges)},
                        {std::to_string(m.fallingEdges)},
                        {m.firstEdgeTimeText},
                        {m.highTimeText}});
    return rows;
}

QStringList columnTitles(const MarkerFigures& f, const MeasurementTitles& t) {
    QStringList titles;
    const std::vector<std::string> texts =
        f.kind == kIoMonitor
            ? std::vector{t.signal, t.levelA, t.levelB, t.risingEdges, t.fallingEdges,
                          t.firstEdge, t.timeHigh}
            : std::vector{t.item, t.unit, t.atA, t.atB, t.difference, t.minimum, t.minimumTime,
                          t.maximum, t.maximumTime, t.mean, t.rms};
    for (const std::string& text : texts)
        titles << qText(text);
    return titles;
}

}  // namespace

MeasurementTitles measurementTitles(const LanguageCatalogue& catalogue) {
    MeasurementTitles titles;
    for (const TitleKey& key : kTitleKeys)
        titles.*key.title = catalogue.GetText(key.id);
    return titles;
}

MeasurementPanel::MeasurementPanel(QWidget* parent) : QWidget(parent) {
    timesLabel_ = new QLabel(this);
    timesLabel_->setObjectName(QStringLiteral("markerTimesLabel"));
    timesLabel_->setTextFormat(Qt::PlainText);
    timesLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    copyButton_ = new QPushButton(this);
    copyButton_->setObjectName(QStringLiteral("copyMeasurementsButton"));
    connect(copyButton_, &QPushButton::clicked, this, &MeasurementPanel::copyToClipboard);
    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("measurementTable"));
    table_->setAccessibleName(QStringLiteral("Measurements between the markers"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* top = new QHBoxLayout;
    top->addWidget(timesLabel_, 1);
    top->addWidget(copyButton_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(top);
    column->addWidget(table_, 1);
    hide();
}

void MeasurementPanel::setTexts(const MeasurementTitles& titles, const QString& copyText) {
    titles_ = titles;
    copyButton_->setText(copyText);
}

void MeasurementPanel::showFigures(MarkerFigures figures, QChar separator) {
    figures_ = std::move(figures);
    const auto point = [separator](const std::string& text) {
        return figureText(text, separator);
    };
    const QString gap = QStringLiteral("    ");
    timesLabel_->setText(qText(titles_.timeA) + QLatin1Char(' ') + point(figures_.aTimeText) +
                         gap + qText(titles_.timeB) + QLatin1Char(' ') +
                         point(figures_.bTimeText) + gap + qText(titles_.delta) +
                         QLatin1Char(' ') + point(figures_.deltaText) + gap +
                         qText(titles_.inverseDelta) + QLatin1Char(' ') +
                         point(figures_.inverseDeltaText));
    fillTable(separator);
}

void MeasurementPanel::fillTable(QChar separator) {
    const std::vector<std::vector<Cell>> rows =
        figures_.kind == kIoMonitor ? signalRows(figures_) : itemRows(figures_);
    const QStringList titles = columnTitles(figures_, titles_);
    table_->setColumnCount(int(titles.size()));
    table_->setHorizontalHeaderLabels(titles);
    table_->setRowCount(int(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const Cell& cell = rows[r][c];
            const QString text =
                cell.figure ? figureText(cell.text, separator) : qText(cell.text);
            if (QTableWidgetItem* item = table_->item(int(r), int(c)))
                item->setText(text);
            else
                table_->setItem(int(r), int(c), new QTableWidgetItem(text));
        }
    }
}

int MeasurementPanel::neededHeight() const {
    const int rows = std::clamp(table_->rowCount(), 1, kMostRowsShown);
    const int table = table_->horizontalHeader()->sizeHint().height() +
                      rows * table_->verticalHeader()->defaultSectionSize() +
                      2 * table_->frameWidth() +
                      table_->horizontalScrollBar()->sizeHint().height();
    const int top = std::max(timesLabel_->sizeHint().height(), copyButton_->sizeHint().height());
    return top + layout()->spacing() + table;
}

void MeasurementPanel::copyToClipboard() const {
    QGuiApplication::clipboard()->setText(qText(measurementsTable(figures_, titles_)));
}

}  // namespace kestiva
