// The sky plot's geometry: horizon radius and centre of a frame, projection of azimuth and
// elevation, ring radii. Plain numbers in, plain numbers out.
#pragma once

#include <cstdint>

#include "platform/qt/rect.h"

namespace pathlux {

using platform::Point;

struct SkyGeometry {
    double skyRadius = 0.0;  // whole pixels
    Point skyCentre;         // image coordinates
};

constexpr int kSkyRings = 5;
constexpr int kSkySpokes = 12;
constexpr int kSkySpokeStep = 30;  // degrees

// Radius (min(w, h) - 4) / 2 and centre ((w - 4) / 2 + 1, (h - 4) / 2 + 1) of a w x h image.
SkyGeometry SkyGeometryOf(std::int32_t width, std::int32_t height);

// Drawing angle in radians of an azimuth in degrees (north up, east right), with pi as 3.14159.
double AzimuthToAngle(double azimuth);

// Image point of an azimuth and elevation in degrees; coordinates are truncated toward zero and
// saturate at the 32-bit limits.
Point SkyToPoint(const SkyGeometry& geometry, double azimuth, double elevation);

// Radius of elevation ring i (1 to 5, the circles of 75 down to 15 degrees).
std::int32_t SkyRingRadius(double skyRadius, int ring);

}  // namespace pathlux
