// The pattern: an open polyline of 2 to 32 segments, each with a knee flag byte that tells
// the generator how to place the copy of the pattern that replaces the segment, and a cached
// midpoint (the knee) by which the user grabs the segment.
#pragma once

#include <cstdint>

#include "document/point_f.h"

class CArchive;

constexpr uint8_t KNEE_REVERSE = 1;
constexpr uint8_t KNEE_MIRROR = 2;
constexpr uint8_t KNEE_HIDE = 4;
constexpr uint8_t KNEE_STATIC = 8;

constexpr uint8_t HIT_NONE = 0;
constexpr uint8_t HIT_POINT = 1;
constexpr uint8_t HIT_KNEE = 2;

constexpr int PATTERN_MIN_SEGMENTS = 2;
constexpr int PATTERN_MAX_SEGMENTS = 32;

class CPattern {
public:
    PointF m_points[PATTERN_MAX_SEGMENTS + 1] = {};
    uint8_t m_kneeFlags[PATTERN_MAX_SEGMENTS] = {};
    int32_t m_count = PATTERN_MIN_SEGMENTS;
    PointF m_knees[PATTERN_MAX_SEGMENTS] = {};

    // The start pattern: (-100, 0), (x, -100), (100, 0) with x drawn from the program's
    // random numbers, flags reverse and none.
    void NewPattern();
    void UpdateKnees();

    // The knee or point nearest to `probe` within 20 pixels (converted by `scale`, pixels per
    // pattern unit). `kind` receives HIT_NONE, HIT_POINT or HIT_KNEE. With HIT_NONE the index
    // names where Add Point inserts: a knee's segment, -1 before point 0, m_count after the last.
    int32_t HitTest(PointF probe, float scale, uint8_t& kind) const;

    // bits != 0: toggle those bits. bits == 0: step reverse/mirror (0,1,2,3,0) and clear the rest.
    void ChangeKneeFlags(int index, uint8_t bits);
    void SetPoint(int index, PointF p);
    // Inserts after point `after` (-1 prepends, m_count appends); the new point's index, or -1
    // when the pattern is full.
    int InsertPoint(int after, PointF p);
    // The index to select next, or -1 when the pattern is at its minimum.
    int RemovePoint(int index);

    // True when both hold the same polyline: the same segment count, the same points (bit
    // for bit, so -0 and 0 differ as they do in a saved file) and the same knee flags.
    // Slots beyond the segment count and the cached knees are not compared.
    bool SameAs(const CPattern& other) const;

    // The pattern section of a document; see document_format.md in docs/ for the layout.
    void Serialize(CArchive& ar);

private:
    void SerializeText(CArchive& ar);
    void SerializeLegacy(CArchive& ar, int32_t count);
};
