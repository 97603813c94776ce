#include "interaction/set_coordinate.h"

#include <cmath>

#include "platform/text_format.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

std::string CoordinateText(float value)
{
    return FormatFixed(value, 6);
}

void ApplySetCoordinate(CPattern& pattern, int index, const std::string& xText, const std::string& yText)
{
    if (index < 0 || index > pattern.m_count)
        return;
    PointF p = pattern.m_points[index];
    float v = 0.0f;
    if (CScanner(xText).ScanFloat(v))
        p.x = v;
    if (CScanner(yText).ScanFloat(v))
        p.y = v;
    pattern.SetPoint(index, p);
}

bool PolarFromPrevious(const CPattern& pattern, int index, double& length, double& angleDegrees)
{
    if (index < 1 || index > pattern.m_count || index > PATTERN_MAX_SEGMENTS)
        return false;
    const PointF a = pattern.m_points[index - 1];
    const PointF b = pattern.m_points[index];
    const double dx = static_cast<double>(b.x) - a.x;
    const double dy = static_cast<double>(b.y) - a.y;
    length = std::hypot(dx, dy);
    angleDegrees = std::atan2(dy, dx) * 180.0 / kPi;
    if (angleDegrees <= -180.0)
        angleDegrees += 360.0;
    return std::isfinite(length) && std::isfinite(angleDegrees);
}

std::string LengthText(const CPattern& pattern, int index)
{
    double length = 0.0, angle = 0.0;
    return PolarFromPrevious(pattern, index, length, angle) ? FormatFixed(length, 6) : std::string();
}

std::string AngleText(const CPattern& pattern, int index)
{
    double length = 0.0, angle = 0.0;
    return PolarFromPrevious(pattern, index, length, angle) ? FormatFixed(angle, 6) : std::string();
}

void ApplySetPolar(CPattern& pattern, int index, const std::string& lengthText, const std::string& angleText)
{
    double length = 0.0, angle = 0.0;
    if (!PolarFromPrevious(pattern, index, length, angle))
        return;
    float v = 0.0f;
    if (CScanner(lengthText).ScanFloat(v))
        length = v;
    if (CScanner(angleText).ScanFloat(v))
        angle = v;
    const PointF a = pattern.m_points[index - 1];
    const double radians = angle * kPi / 180.0;
    const PointF p{static_cast<float>(a.x + length * std::cos(radians)), static_cast<float>(a.y + length * std::sin(radians))};
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return;
    pattern.SetPoint(index, p);
}
