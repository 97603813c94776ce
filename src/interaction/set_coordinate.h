// The logic of the Set Coordinate dialog: the field texts it opens with, and what OK does.
#pragma once

#include <string>

#include "document/pattern.h"

// The text a coordinate field shows: "%f" (six decimals, a point as separator).
std::string CoordinateText(float value);

// OK: sets point `index` of `pattern` from the two field texts, read like "%f". A field that
// does not hold a finite number keeps that coordinate as it was.
void ApplySetCoordinate(CPattern& pattern, int index, const std::string& xText, const std::string& yText);

// The point as a length and an angle (degrees, counter-clockwise from the x axis, in
// (-180, 180]) from the point before it. False for point 0, which has none.
bool PolarFromPrevious(const CPattern& pattern, int index, double& length, double& angleDegrees);

// The field texts of the length and the angle: "%f"; empty for point 0.
std::string LengthText(const CPattern& pattern, int index);
std::string AngleText(const CPattern& pattern, int index);

// OK after the length or angle was typed: sets point `index` (1 or more) at that length and
// angle from the point before it. A field that does not hold a finite number keeps that part
// as it was; a negative length turns the direction round.
void ApplySetPolar(CPattern& pattern, int index, const std::string& lengthText, const std::string& angleText);
