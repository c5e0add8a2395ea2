// The endless scenery behind the play: a far landscape with its reflection, a lake, the
// ground strip and (in most modes) a roof strip. Each layer is a row of identical tiles that
// follows the camera; the two far layers scroll slower than the camera.
#pragma once

#include <memory>

#include "common/anime.hpp"

namespace grappix {

class Backdrop {
public:
    // Tile sizes, heights and scroll factors of the four layers. The scenes pass the view's
    // start (x0, y0) and the ground and roof lines (stage.hpp).
    void Configure(double x0, double y0, double groundShift, double roofShift, bool roofOn);
    // Loads the four sheets; the view rectangle is the one every sprite culls against.
    void LoadSheets(double viewX, double viewY, double viewW, double viewH);
    // All layers for a camera at (camX, camY), far to near.
    void Draw(double camX, double camY);

    struct Layer {
        std::unique_ptr<Anime> sprite;
        double x = 0, y = 0;          // tile centre; x is recomputed by every Draw
        double halfW = 0, halfH = 0;  // tile half-extents
        double parallax = 1.0;        // screen drift per pixel of camera movement
    };
    const Layer& Distant() const { return distant; }
    const Layer& Lake() const { return lake; }
    const Layer& Ground() const { return ground; }
    const Layer& Roof() const { return roof; }
    bool RoofOn() const { return roofOn; }

private:
    // The layer's tile anchor for this camera: it lags behind the camera by the layer's
    // factor times the distance travelled, wrapping every whole tile so the row is seamless.
    static double Anchor(const Layer& layer, double camX);
    static void DrawRow(Layer& layer, int64_t id, double y, int first, int last, double camX, double camY);

    Layer distant;
    Layer lake;
    Layer ground;
    Layer roof;
    bool roofOn = false;
};

}  // namespace grappix
