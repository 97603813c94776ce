// Placeholder until the antialiased renderer lands: every call reports that it is missing.
#include "render/smooth_renderer.h"

bool DrawSmoothScene(CFractalRenderer&, const CPattern&, const CRenderStyle&, CRgbaImage*, std::string* error)
{
    if (error)
        *error = "Antialiased drawing is not available in this build";
    return false;
}

bool WritePng(const CRgbaImage&, const std::string&, std::string* error)
{
    if (error)
        *error = "PNG writing is not available in this build";
    return false;
}

bool EncodePng(const CRgbaImage&, std::vector<uint8_t>*, std::string* error)
{
    if (error)
        *error = "PNG writing is not available in this build";
    return false;
}
