// texture_loader.hpp -- textures decoded on the second core, and kept across a scene change.
//
// LoadTex reads and checks the whole file at once (so a missing or damaged file still fails
// in LoadTex, naming it) and hands the decoding to a worker thread; the texture's size is
// known from its header. The first draw of a texture that is not decoded yet decodes it
// right there if the worker has not begun it, or waits for the worker: a texture is drawn
// whole or not at all, never half-decoded, and every frame shows what the game drew.
//
// Textures of the same file share one picture (a scene that loads a sheet twice holds it
// once), and a texture released stays decoded until the next frame step: a scene that loads
// again what the scene before it released (the font, the scenery) takes it without decoding.
#ifndef BRISEL_TEXTURE_LOADER_HPP
#define BRISEL_TEXTURE_LOADER_HPP

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "canvas.hpp"

struct BriselTex;

namespace brisel {

struct DecodeJob;

// The decoded picture of a texture, waiting for (or decoding) it first. Raises
// BRISEL_FAIL_LOAD naming the file when the picture data turns out damaged.
const Image& TexImage(BriselTex* tex);

// The same for a draw: turns the draw's source rectangle, in the texture's texels, into the
// picture's, which differ for a picture stored smaller than the texture it stands for (a
// `vqSz` chunk: the title's logo is drawn at 1600 x 400 from a texture of 4096 x 1024).
const Image& TexPicture(BriselTex* tex, double& sx, double& sy, double& sw, double& sh);

// Loads a texture file as LoadTex does: reads it, checks it whole (raising BRISEL_FAIL_LOAD
// "<file>: <what>"), then takes a cached picture or queues the decoding. On the GPU path in a
// large window (GpuCanvas::ArtScale), the picture comes from "<name>@2x.<ext>" beside it when
// that file stands for the same texture: the texture's size and every draw stay the same.
BriselTex* LoadTexture(const char* name);

// A texture made by `render` on the worker (text: the font's glyphs are drawn there), named
// `name`. `render` returns false with a failure code and the whole message. A picture made
// finer than the texture it stands for gives that texture's size too (left 0: its own size).
using RenderFn =
    std::function<bool(Image& out, int& texWidth, int& texHeight, uint32_t& code, std::string& message)>;
BriselTex* QueueTexture(std::string name, RenderFn render);

// The texture's size: known at once for a file, once rendered for text.
int TexWidth(BriselTex* tex);
int TexHeight(BriselTex* tex);

// A released texture: its decoding is cancelled, or its picture kept for the next scene.
void ForgetTexture(BriselTex* tex);

// At Init, before anything else: starts decoding the pictures listed in `listPath` (one file
// name a line, `#` comments; a missing list is no list), which the game's first scene will
// ask for, so they decode while the window opens. LoadTex then takes them when the file is
// the same; a picture not asked for by the first frame step is dropped. Nothing here raises:
// a bad file is reported by its LoadTex as ever.
void PreloadTextures(const std::string& listPath);

// Once the window is there: when it wants finer art, the preloads turn to the finer files.
void PreloadFinerTextures();

// Called at every frame step: drops the pictures released before it.
void AgeTextureCache(int64_t step);

// Drops what is queued and asks the worker to leave after the picture in hand, without waiting.
void BeginStoppingTextureLoader();

// Stops the worker (waiting for a decoding under way) and drops everything queued or kept.
void StopTextureLoader();

}  // namespace brisel

#endif
