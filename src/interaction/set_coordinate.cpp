#include "interaction/set_coordinate.h"

#include "platform/text_format.h"

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
