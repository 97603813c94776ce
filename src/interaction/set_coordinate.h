// The logic of the Set Coordinate dialog: the field texts it opens with, and what OK does.
#pragma once

#include <string>

#include "document/pattern.h"

// The text a coordinate field shows: "%f" (six decimals, a point as separator).
std::string CoordinateText(float value);

// OK: sets point `index` of `pattern` from the two field texts, read like "%f". A field that
// does not hold a finite number keeps that coordinate as it was.
void ApplySetCoordinate(CPattern& pattern, int index, const std::string& xText, const std::string& yText);
