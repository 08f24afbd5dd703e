#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The controls' own artwork (SVG files under resources/, prefix ":/controls/"), rendered crisply at any pixel ratio.
namespace ControlsArtwork {

// `name` without extension, e.g. "modal_close". Null pixmap when there is no such artwork.
QPixmap pixmap(const QString& name, const QSize& pointSize, double devicePixelRatio = 0.0);
QIcon icon(const QString& name, const QSize& pointSize);

} // namespace ControlsArtwork
