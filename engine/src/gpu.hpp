// gpu.hpp -- the frame drawn by the window's accelerated renderer instead of the rasteriser.
//
// Where SDL gives a hardware renderer, each draw the game makes becomes a textured, tinted
// quad (two triangles through SDL_RenderGeometry) in the logical 1600 x 900 space, which SDL
// scales to the window's own resolution with the letterbox: the art is sampled at the size it
// is shown, not stretched from a 1600 x 900 picture. The rasteriser's rules are kept where the
// GPU can keep them: premultiplied texels, the three blend modes, the viewport as a clip of
// whole pixels, nearest or linear sampling, the colour multiplied by the tint. Where it
// cannot (sampling at a cell's edge, shrinking without the rasteriser's copies), pictures
// differ by a little at edges; the engine's tests state how much.
#ifndef BRISEL_GPU_HPP
#define BRISEL_GPU_HPP

#include <SDL.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "canvas.hpp"

namespace brisel {

struct KeptQuad {
    SDL_Texture* texture;  // null for a rectangle
    SDL_BlendMode blend;
    SDL_ScaleMode scale;
    bool clipped;
    SDL_Rect clip;
    SDL_Vertex v[4];
};

class GpuCanvas {
public:
    // False when the renderer cannot draw the engine's blend modes: the rasteriser is used.
    bool Attach(SDL_Renderer* renderer);
    void Release();  // every texture made, before the renderer goes

    void BeginFrame();  // after a present: the letterbox black, the frame's state reset
    void Clear(double r, double g, double b);
    void SetViewport(double x, double y, double w, double h);
    void ResetViewport();
    void SetBlend(BlendMode mode) { blend_ = mode; }
    void SetLinear(bool linear) { linear_ = linear; }
    void EndFrame();  // a frame step: textures not drawn for a while are let go

    void FillRect(double x, double y, double w, double h, double r, double g, double b, double a);
    void DrawImage(const Image& image, double sx, double sy, double sw, double sh, double dx, double dy,
                   double dw, double dh, double cx, double cy, double angle, double r, double g, double b,
                   double a);

    // The frame drawn so far, at the window's resolution (the letterboxed picture only), as
    // 0xFFRRGGBB rows top down; false when the renderer cannot read it back.
    bool ReadPixels(std::vector<uint32_t>& pixels, int& width, int& height);

    // How much finer than the logical screen the art is best drawn: 2 when the window's output
    // is at least kFinerWidth pixels wide (pictures then come from their files drawn twice as
    // fine), else 1. TextScale: the letterbox's own scale at those sizes (text is rasterised
    // at the size it is shown), else 1.
    static constexpr int kFinerWidth = 2400;
    int ArtScale() const;
    double TextScale() const;

    // SDL keeps a clip in the window's pixels, scaled when set: after the scale changes (the
    // window resized, a read-back) it is set again from the logical one kept here.
    void ApplyClip();

    // A replay's viewer shows a frame again (paused, slowed down), but the window's back buffer
    // holds nothing after a present: with Keep(true) each frame's quads are kept as they are
    // drawn, FrameShown (at its present) makes them the frame shown, and ShowAgain draws that
    // frame again, at the window's own resolution.
    void Keep(bool on) { keep_ = on; }
    void FrameShown();
    void ShowAgain();

private:
    struct Entry {
        SDL_Texture* texture;
        int64_t lastFrame;
    };
    SDL_Texture* TextureFor(const Image& image);
    // One quad with its blend mode (and sampling, for a texture), under the clip in force.
    void Quad(SDL_Texture* texture, const SDL_FPoint corners[4], const SDL_FPoint uv[4], SDL_Color colour,
              SDL_BlendMode blend, SDL_ScaleMode scale);
    void Draw(const KeptQuad& q);
    SDL_BlendMode Blend() const {
        return blend_ == BlendMode::None ? SDL_BLENDMODE_NONE : blend_ == BlendMode::Add ? add_ : over_;
    }

    SDL_Renderer* renderer_ = nullptr;
    SDL_BlendMode over_ = SDL_BLENDMODE_INVALID, add_ = SDL_BLENDMODE_INVALID;
    std::unordered_map<uint64_t, Entry> textures_;  // by Image::gpuId
    int64_t frame_ = 0;
    BlendMode blend_ = BlendMode::Alpha;
    bool linear_ = false;
    bool clipped_ = false;
    SDL_Rect clip_{0, 0, 0, 0};
    bool keep_ = false;
    std::vector<KeptQuad> drawing_, shown_;  // the frame being drawn, the frame shown last
};

}  // namespace brisel

#endif
