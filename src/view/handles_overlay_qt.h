// What the window draws over the canvas's picture while editing: a square handle on every
// point, a marker on every knee with a badge of its flags, the point or knee under the pointer
// highlighted and the grabbed point while dragging. Drawn after the canvas is copied to the
// window, so the canvas and every export stay as they are.
#pragma once

#include <QSize>
#include <QtGlobal>

#include <cstdint>

#include "interaction/edit_gestures.h"  // HandlesState

struct GridSettings;
class CPattern;
class CViewTransform;
class QPainter;

// `ratio` is the widget's device pixel ratio: the transform maps to device pixels, the painter
// works in logical ones, and the handles keep their logical size on any screen.
void PaintHandles(QPainter& painter, const CPattern& pattern, const CViewTransform& transform, qreal ratio,
                  const HandlesState& state);

// The letters of a knee's badge: R, M, H, S for reverse, mirror, hide, static; empty for none.
const char* KneeBadgeText(uint8_t flags, char* buffer);

// The grid's lattice, faint, over the canvas of `deviceSize` pixels (drawn before the handles).
void PaintGrid(QPainter& painter, const GridSettings& grid, const CViewTransform& transform, qreal ratio,
               QSize deviceSize);
