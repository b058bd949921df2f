// The transformations a camera makes (the base class is exported from OvCamera.h): the
// library's projection, a perspective with a focus, and its variant that also keeps a
// target depth.
#ifndef ORVANE_VIEWING_OVTRANSFORMATION_H
#define ORVANE_VIEWING_OVTRANSFORMATION_H

#include "OvCamera.h"

// At depth z one scene unit covers focus / z pixels. Property "FOCUS".
class COvPerspective : public COvTransformation {
public:
    explicit COvPerspective(COvControl* control);

    void Free() override;
    // Canvas pixel of a camera-space point, truncated toward zero; -60001 (output
    // untouched) on or behind the camera plane; -10005 for a null output.
    int CameraToScreen(const COv3DPoint& camera, CPx2DPoint* canvas) const override;
    // Ray-plane intersection; -10005 null output, -10002 focus 0 or a ray parallel to
    // the plane.
    int ScreenToCamera(const CPx2DPoint& canvas, const COv3DPoint& normal,
                       const COv3DPoint& planePoint, COv3DPoint* camera) const override;
    // Pixels of size at the depth of camera (negative depths give negative sizes);
    // -10005 null output, -10002 depth exactly 0.
    int GetSize(const COv3DPoint& camera, const COvSize3D& size, COvSize* pixels) const override;
    // "FOCUS" (exact, case-sensitive): 0; anything else 1.
    int SetProperty(const char* name, double value) override;
    int GetProperty(const char* name, double* value) const override;

protected:
    ~COvPerspective() override;

    double m_dFocus;
};

// Also takes "TargetZ" (stored truncated, never read back or used).
class COvTargetPerspective : public COvPerspective {
public:
    explicit COvTargetPerspective(COvControl* control);

    void Free() override;
    int SetProperty(const char* name, double value) override;

protected:
    ~COvTargetPerspective() override;

    int m_nTargetZ;
};

// A new transformation of kind (3: target perspective; else perspective), focus
// 2000, no frame and no screen yet; null when it cannot be allocated.
COvTransformation* CreateTransformation(int kind, COvControl* control);

#endif
