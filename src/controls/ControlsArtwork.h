#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

#include "elements/images/UNIImage.h"

// The controls' own artwork (SVG files under resources/, prefix ":/controls/"), rendered crisply at any pixel ratio.
namespace ControlsArtwork {

// `name` without extension, e.g. "modal_close". Null pixmap when there is no such artwork.
QPixmap pixmap(const QString& name, const QSize& pointSize, double devicePixelRatio = 0.0);
QIcon icon(const QString& name, const QSize& pointSize);

// The image called `name` among the application's Qt resources, at `scale` pixels per point; the null image
// (logged) when there is none. SVG files are drawn at their own width and height in points, exactly at `scale`;
// a bitmap "name.png" is one point per pixel and "name@2x.png" two, and the one chosen is the first at least as
// dense as `scale`, else the densest. The controls' artwork wins over another resource of the same name.
// Thread-safe (QImage and QSvgRenderer only); each name and scale is drawn once and kept.
UNIImage image(const QString& name, double scale);

// Makes image() the provider of UNIImage::imageNamed. Called once at start-up, before any window is built.
void registerNamedImages();

} // namespace ControlsArtwork
