// The TTFF plot drawn into an image, and saved as a PNG. Needs a QGuiApplication for its fonts.
#pragma once

#include <QImage>
#include <QString>

#include "ttff/plot_geometry.h"

namespace pathlux::ttff {

QImage DrawPlot(const PlotLayout& layout);

// False when the file cannot be written.
bool SavePlot(const PlotLayout& layout, const QString& path);

}  // namespace pathlux::ttff
