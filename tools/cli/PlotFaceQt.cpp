// plot's face on Qt: an off-screen GUI application for the font, QPainter for the frame's
// texts and the window's image writer for the file.

#include "tools/cli/PlotFace.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>

#include "views/ImageEncoder.h"
#include "views/QtWindow.h"

namespace kestiva::cli {

namespace {

constexpr int kFontPixels = 12;  // the labels' size, whatever the system's default font

// Qt's own remarks about the environment (no runtime folder for the off-screen platform, say)
// are not the command's business; anything that could concern the picture still shows.
void quietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    std::fprintf(stderr, "%s\n",
                 qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

// Painting needs a GUI application but never a screen.
QGuiApplication* startApplication() {
    qInstallMessageHandler(quietQtMessages);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "kestiva-cli";
    static char* argv[] = {name, nullptr};
    return new QGuiApplication(argc, argv);
}

Qt::Alignment alignment(const FrameMark& mark) {
    const Qt::Alignment horizontal = mark.align == FrameMark::Align::Left    ? Qt::AlignLeft
                                     : mark.align == FrameMark::Align::Right ? Qt::AlignRight
                                                                             : Qt::AlignHCenter;
    return horizontal | (mark.atBottom ? Qt::AlignBottom : Qt::AlignVCenter);
}

class QtPlotFace : public PlotFace {
public:
    QtPlotFace() : application_(startApplication()), font_(QGuiApplication::font()) {
        font_.setPixelSize(kFontPixels);
    }

    int lineHeight() const override { return QFontMetrics(font_).height(); }
    int textWidth(const std::string& text) const override {
        return QFontMetrics(font_).horizontalAdvance(QString::fromStdString(text));
    }
    std::string imageFormat(const std::string& path) const override {
        return imageEncoderForPath(QString::fromStdString(path)).toStdString();
    }
    void draw(PixelBuffer& picture, const std::vector<FrameMark>& marks) const override {
        const PixelView view = picture.view();
        // The painter draws straight into the picture's own pixels.
        QImage image(reinterpret_cast<uchar*>(view.pixels), view.width, view.height,
                     qsizetype(view.stride) * 4, QImage::Format_RGB32);
        QPainter p(&image);
        p.setFont(font_);
        for (const FrameMark& mark : marks) {
            const QColor color = toQColor(mark.color);
            if (mark.kind == FrameMark::Kind::Fill) {
                p.fillRect(toQt(mark.box), color);
                continue;
            }
            p.setPen(color);
            p.drawText(toQt(mark.box), int(alignment(mark)), QString::fromStdString(mark.text));
        }
    }
    bool save(const PixelBuffer& picture, const std::string& path) const override {
        const QImage image(reinterpret_cast<const uchar*>(picture.data()), picture.width(),
                           picture.height(), qsizetype(picture.width()) * 4, QImage::Format_RGB32);
        return saveImageFile(image, QString::fromStdString(path));
    }

private:
    std::unique_ptr<QGuiApplication> application_;
    QFont font_;
};

}  // namespace

std::unique_ptr<PlotFace> PlotFace::open() {
    return std::make_unique<QtPlotFace>();
}

}  // namespace kestiva::cli
