#include "document/pattern.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "platform/random.h"

void CPattern::NewPattern()
{
    int r = ProgramRandom().Next();
    m_count = 2;
    m_kneeFlags[0] = KNEE_REVERSE;
    m_kneeFlags[1] = 0;
    m_points[0] = PointF{-100.0f, 0.0f};
    m_points[1] = PointF{static_cast<float>((r % 200 - 100) * 0.01 * 20), -100.0f};
    m_points[2] = PointF{100.0f, 0.0f};
    UpdateKnees();
}

void CPattern::UpdateKnees()
{
    for (int i = 0; i < m_count; ++i) {
        float sx = m_points[i].x + m_points[i + 1].x;
        float sy = m_points[i].y + m_points[i + 1].y;
        m_knees[i] = PointF{sx * 0.5f, sy * 0.5f};
    }
}

namespace {

float SquaredDistance(PointF a, PointF b)
{
    float dx = a.x - b.x;
    float dy = a.y - b.y;
    return dx * dx + dy * dy;
}

}  // namespace

int32_t CPattern::HitTest(PointF probe, float scale, uint8_t& kind) const
{
    kind = HIT_NONE;
    // Knees first, then point 0 (as index -1), then the last point: the nearest of these
    // names the insertion position when nothing is hit.
    auto nearestOfKneesAndEnds = [&](float limit, int32_t& index) {
        float best = limit;
        for (int i = 0; i < m_count; ++i) {
            float d = SquaredDistance(probe, m_knees[i]);
            if (d < best) {
                best = d;
                index = i;
            }
        }
        float d0 = SquaredDistance(probe, m_points[0]);
        if (d0 < best) {
            best = d0;
            index = -1;
        }
        float dn = SquaredDistance(probe, m_points[m_count]);
        if (dn < best) {
            best = dn;
            index = m_count;
        }
        return best;
    };

    constexpr int32_t kUnset = std::numeric_limits<int32_t>::min();
    int32_t index = kUnset;
    float best = nearestOfKneesAndEnds(100000000.0f, index);
    if (index == kUnset) {
        // Everything lies 10,000 units or more away: take the nearest all the same, so the
        // index is always a valid place to insert a point. A probe with no finite distance
        // to anything appends.
        index = m_count;
        best = nearestOfKneesAndEnds(std::numeric_limits<float>::infinity(), index);
    }

    float radius = 20.0f / scale;
    float limit = radius * radius;
    if (best < limit) {
        if (index == -1) {
            kind = HIT_POINT;
            index = 0;
        } else if (index == m_count) {
            kind = HIT_POINT;
        } else {
            kind = HIT_KNEE;
        }
    } else {
        best = limit;
    }

    for (int j = 1; j < m_count; ++j) {
        float d = SquaredDistance(probe, m_points[j]);
        if (d < best) {
            best = d;
            index = j;
            kind = HIT_POINT;
        }
    }
    return index;
}

void CPattern::ChangeKneeFlags(int index, uint8_t bits)
{
    if (index < 0 || index >= m_count)
        return;
    if (bits != 0)
        m_kneeFlags[index] ^= bits;
    else
        m_kneeFlags[index] = static_cast<uint8_t>((m_kneeFlags[index] + 1) & 3);
}

void CPattern::SetPoint(int index, PointF p)
{
    if (index < 0 || index > m_count)
        return;
    m_points[index] = p;
    UpdateKnees();
}

int CPattern::InsertPoint(int after, PointF p)
{
    if (m_count >= PATTERN_MAX_SEGMENTS || after < -1 || after > m_count)
        return -1;
    int at = after + 1;
    for (int i = m_count; i >= at; --i)
        m_points[i + 1] = m_points[i];
    m_points[at] = p;

    int flagAt = std::min(at, static_cast<int>(m_count));
    uint8_t copied = m_kneeFlags[std::min(at, static_cast<int>(m_count) - 1)];
    for (int i = m_count - 1; i >= flagAt; --i)
        m_kneeFlags[i + 1] = m_kneeFlags[i];
    m_kneeFlags[flagAt] = copied;

    ++m_count;
    UpdateKnees();
    return at;
}

int CPattern::RemovePoint(int index)
{
    if (m_count <= PATTERN_MIN_SEGMENTS || index < 0 || index > m_count)
        return -1;
    for (int i = index; i < m_count; ++i)
        m_points[i] = m_points[i + 1];
    int flagAt = std::min(index, static_cast<int>(m_count) - 1);
    for (int i = flagAt; i < m_count - 1; ++i)
        m_kneeFlags[i] = m_kneeFlags[i + 1];
    --m_count;
    UpdateKnees();
    return index == 0 ? 0 : index - 1;
}

bool CPattern::SameAs(const CPattern& other) const
{
    if (m_count != other.m_count)
        return false;
    const int count = std::clamp(static_cast<int>(m_count), 0, PATTERN_MAX_SEGMENTS);
    for (int i = 0; i <= count; ++i) {
        if (std::bit_cast<uint32_t>(m_points[i].x) != std::bit_cast<uint32_t>(other.m_points[i].x) ||
            std::bit_cast<uint32_t>(m_points[i].y) != std::bit_cast<uint32_t>(other.m_points[i].y))
            return false;
    }
    for (int i = 0; i < count; ++i) {
        if (m_kneeFlags[i] != other.m_kneeFlags[i])
            return false;
    }
    return true;
}
