// The drawing functions, one per sheet the game loads. Each returns the finished sheet at
// the size its layout gives (layout.hpp); none touches the file system.
#pragma once

#include "canvas.hpp"

namespace gx {

// Scenery behind the play: no outlines, lower contrast.
Canvas DrawDistantView();
Canvas DrawLake();
Canvas DrawGround();
Canvas DrawRoof();
Canvas DrawBlocks();

// The character and what it handles.
Canvas DrawCharacter();
Canvas DrawWire();
Canvas DrawAnchor();
Canvas DrawRing();
Canvas DrawHookPoints();
Canvas DrawSmog();

// User interface.
Canvas DrawLogo(const FontFiles& fonts);
Canvas DrawGlyphs(const FontFiles& fonts);
Canvas DrawBanners(const FontFiles& fonts);

// The grappling hook in a 1024-unit box, pointing along +x (anchor, logo and icon).
void GrappleHook(cairo_t* cr, double outline, bool eye);

// The window icon at any size (square).
Canvas DrawIcon(int size);

}  // namespace gx
