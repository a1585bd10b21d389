// PlugFrame's drawing: lazy textures and fonts from the shared pictures, the background, the children, the logo.
#include "gui/image_cache.h"
#include "gui/plug_edit_vst.h"
#include "gui/plug_frame.h"
#include "render/gl/font.h"

namespace Lattice {

void PlugFrame::loadGraphics(VexBlit::Context& context) {
  VexBlit::Device& device = context.device();
  if (context.pixelScale() != loadedScale) {
    releaseOwnGraphics();
    loadedScale = context.pixelScale();
    loadedArt = artScaleFor(loadedScale);
  }
  const char* backgroundName = editor->description().backgroundName;
  if (backgroundName && !background)
    if (const Image* image = cachedImage(CachedImage::Background, backgroundName, loadedArt))
      background = VexBlit::createTextureFromImage(device, *image);
  if (!common)
    if (const Image* image = cachedImage(CachedImage::CommonTextures, nullptr, loadedArt)) {
      common = device.createTexture(image->width, image->height);
      common->update(image->pixels.get(), image->width, 0, 0, image->width, image->height);
    }
  if (!smallFont) smallFont = VexBlit::loadFontResource(context, "Vera", 8);
  if (!largeFont) largeFont = VexBlit::loadFontResource(context, "Vera", 10);
}

VexBlit::StaticTexture* PlugFrame::knobTexture(VexBlit::Context& context) {
  if (!knobs)
    if (const Image* image = cachedImage(CachedImage::OldKnobs, nullptr, loadedArt))
      knobs = VexBlit::createTextureFromImage(context.device(), *image);
  return knobs.get();
}

void PlugFrame::drawBackground(VexBlit::Context& context) {
  const Image* image =
      background ? cachedImage(CachedImage::Background, editor->description().backgroundName, loadedArt) : nullptr;
  const float fw = float(w), fh = float(h);
  VexBlit::Quad quad;
  if (!image || image->width == 0 || image->height == 0) {
    VexBlit::Shader shader(context, VexBlit::Blend::Off, VexBlit::Combine::Colour, nullptr, nullptr);
    VexBlit::initQuad(quad, 0, 0, 0, fw, fh, 0, 0);
    VexBlit::drawQuad(context, quad);
    return;
  }
  // The picture stretched over the frame.
  VexBlit::Shader shader(context, VexBlit::Blend::Off, VexBlit::Combine::Texture, background.get(), nullptr);
  VexBlit::initQuad(quad, 0xFFFFFFFFu, 0, 0, fw, fh, 0, 0);
  quad.u1 = quad.s1 = float(image->width);
  quad.v1 = quad.t1 = float(image->height);
  VexBlit::drawQuad(context, quad);
}

void PlugFrame::draw(VexBlit::Context& context) {
  loadGraphics(context);
  drawBackground(context);
  Container::draw(context);
  if (common && showLogo) {
    VexBlit::Shader shader(context, VexBlit::Blend::PremultipliedOver, VexBlit::Combine::Texture, common.get(),
                           nullptr);
    VexBlit::Quad quad;
    const float k = float(loadedArt);
    VexBlit::initQuad(quad, labelColour() | 0xFF000000u, float(w - 90), float(h - 30), 90, 30, 102 * k, 50 * k);
    quad.u1 = quad.s1 = quad.u0 + 90 * k;
    quad.v1 = quad.t1 = quad.v0 + 30 * k;
    VexBlit::drawQuad(context, quad);
  }
}

void PlugFrame::releaseOwnGraphics() {
  background.reset();
  common.reset();
  knobs.reset();
  smallFont.reset();
  largeFont.reset();
}

void PlugFrame::releaseGraphics() {
  releaseOwnGraphics();
  loadedScale = 0;
  Container::releaseGraphics();
}

}  // namespace Lattice
