// The Qt headers of the visual layer, compiled once for the layer and for its tests. Only targets
// inside platform/ use this set: the rest of the program never sees Qt.
#pragma once
#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QWidget>
