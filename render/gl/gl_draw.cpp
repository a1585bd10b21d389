// Drawing state and the quad primitive: shader nesting, the combine and blend modes, drawQuads.
#include "render/gl/gl_device.h"
#include "render/gl/gl_texture.h"

namespace VexBlit {

namespace {

// The combiner on the active unit: op for RGB, alphaOp for alpha, sources a and b, plain colour operands.
void combiner(GLenum op, GLenum a, GLenum b, GLenum alphaOp) {
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, 1);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, op);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, alphaOp);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, a);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, b);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, a);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, b);
}
void combiner(GLenum op, GLenum a, GLenum b) { combiner(op, a, b, op); }

struct BlendMode {
  bool enabled;
  GLenum source, destination;
};
// Indexed by Blend.
const BlendMode kBlendModes[kBlendCount] = {
    {false, GL_ONE, GL_ZERO},
    {true, GL_ONE, GL_ONE_MINUS_SRC_ALPHA},        // premultiplied over
    {true, GL_ONE, GL_ONE},                        // additive
    {true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},  // straight alpha over
    {true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_COLOR},  // per-channel coverage of sub-pixel text
};

GLTexture& asGLTexture(Texture* texture) {
  auto* gl = dynamic_cast<GLTexture*>(texture);
  if (!gl) checkFailed(kCheckForeignTexture);
  return *gl;
}

}  // namespace

Shader::Shader(Context& context, Blend blend, Combine combine, Texture* texture0, Texture* texture1)
    : context(&context), previous(nullptr), combine(combine), blend(blend), texture0(texture0), texture1(texture1) {
  previous = context.setShader(this);
}

Shader::~Shader() { context->setShader(previous); }

Shader* GLDevice::setShader(Shader* shader) {
  Shader* before = currentShader;
  currentShader = shader;
  stateDirty = true;
  return before;
}

void GLDevice::applyState(Blend blend, Combine combine, Texture* texture0, Texture* texture1) {
  GLTexture& t0 = asGLTexture(texture0 ? texture0 : defaultTexture.get());
  GLTexture& t1 = asGLTexture(texture1 ? texture1 : defaultTexture.get());
  // Rectangle textures take texel coordinates; power-of-two ones take fractions of the allocated size.
  texScale0X = rectTextures ? 1.0f : 1.0f / float(t0.width);
  texScale0Y = rectTextures ? 1.0f : 1.0f / float(t0.height);
  texScale1X = rectTextures ? 1.0f : 1.0f / float(t1.width);
  texScale1Y = rectTextures ? 1.0f : 1.0f / float(t1.height);
  applyCombine(combine, t0.name, t1.name);
  if (uint32_t(blend) >= kBlendCount) checkFailed(kCheckUnknownBlend);
  const BlendMode& mode = kBlendModes[uint32_t(blend)];
  if (mode.enabled) {
    glEnable(GL_BLEND);
    glBlendFunc(mode.source, mode.destination);
  } else {
    glDisable(GL_BLEND);
  }
  stateDirty = false;
}

void GLDevice::applyCombine(Combine combine, GLuint texture0, GLuint texture1) {
  if (uint32_t(combine) >= kCombineCount) checkFailed(kCheckUnknownCombine);
  const GLuint fallback = dynamic_cast<GLTexture*>(defaultTexture.get())->name;
  auto unit = [this](int n) { activeTexture(GL_TEXTURE0_ARB + n); };
  auto off = [this, &unit](int n) {
    unit(n);
    glDisable(textureTarget);
  };
  auto bind = [this](GLuint name) {
    glEnable(textureTarget);
    glBindTexture(textureTarget, name);
  };
  switch (combine) {
    case Combine::Colour: off(0), off(1), off(2); break;
    case Combine::Texture:
    case Combine::TextureDoubled:
      unit(0), bind(texture0), combiner(GL_MODULATE, GL_TEXTURE, GL_PREVIOUS);
      if (combine == Combine::TextureDoubled) glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, 2);
      off(1), off(2);
      break;
    case Combine::SoftCoverage:
      // 1 - (1 - t)^2 on unit 0, then times the colour on unit 1: a soft coverage curve.
      unit(0), bind(texture0), combiner(GL_MODULATE, GL_TEXTURE, GL_TEXTURE);
      glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_ONE_MINUS_SRC_COLOR);
      glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_ONE_MINUS_SRC_COLOR);
      unit(1), bind(fallback), combiner(GL_MODULATE, GL_PRIMARY_COLOR, GL_PREVIOUS);
      glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_ONE_MINUS_SRC_COLOR);
      off(2);
      break;
    case Combine::TextureRgb:
      unit(0), bind(texture0), combiner(GL_MODULATE, GL_PREVIOUS, GL_TEXTURE, GL_REPLACE);
      off(1), off(2);
      break;
    case Combine::TwoTextures:
      unit(0), bind(texture0), combiner(GL_MODULATE, GL_TEXTURE, GL_PREVIOUS);
      unit(1), bind(texture1), combiner(GL_MODULATE, GL_TEXTURE, GL_PREVIOUS);
      off(2);
      break;
    case Combine::Crossfade:
      // Crossfade: texture 1 weighted by the colour alpha over texture 0, then tinted by the colour.
      unit(0), bind(texture0), combiner(GL_REPLACE, GL_TEXTURE, GL_PREVIOUS);
      unit(1), bind(texture1), combiner(GL_INTERPOLATE, GL_TEXTURE, GL_PREVIOUS);
      glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB, GL_PRIMARY_COLOR);
      glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB, GL_SRC_ALPHA);
      glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_ALPHA, GL_PRIMARY_COLOR);
      unit(2), bind(fallback), combiner(GL_MODULATE, GL_PREVIOUS, GL_PRIMARY_COLOR, GL_REPLACE);
      break;
  }
}

void GLDevice::emitVertex(const Quad& quad, float x, float y, float u, float v, float s, float t) {
  // Rotation about the pivot: (pivot + cos*d + sin*(perpendicular)), applied to positions or texture 1.
  auto rotate = [&quad](float& px, float& py) {
    float dx = px - quad.pivotX, dy = py - quad.pivotY;
    px = quad.pivotX + quad.cosA * dx + quad.sinA * dy;
    py = quad.pivotY + quad.cosA * dy - quad.sinA * dx;
  };
  multiTexCoord2f(GL_TEXTURE0_ARB, u * texScale0X, v * texScale0Y);
  if (quad.rotateTexture1) rotate(s, t);
  multiTexCoord2f(GL_TEXTURE1_ARB, s * texScale1X, t * texScale1Y);
  const uint32_t c = quad.colour;
  glColor4ub(GLubyte(c >> 16), GLubyte(c >> 8), GLubyte(c), GLubyte(c >> 24));
  if (!quad.rotateTexture1) rotate(x, y);
  glVertex2f(x, y);
}

void GLDevice::drawQuads(const Quad* quads, uint32_t count) {
  if (stateDirty && currentShader)
    applyState(currentShader->blend, currentShader->combine, currentShader->texture0, currentShader->texture1);
  glBegin(GL_QUADS);
  for (uint32_t i = 0; i < count; ++i) {
    const Quad& q = quads[i];
    emitVertex(q, q.x0, q.y0, q.u0, q.v0, q.s0, q.t0);
    emitVertex(q, q.x0, q.y1, q.u0, q.v1, q.s0, q.t1);
    emitVertex(q, q.x1, q.y1, q.u1, q.v1, q.s1, q.t1);
    emitVertex(q, q.x1, q.y0, q.u1, q.v0, q.s1, q.t0);
  }
  glEnd();
}

void initQuad(Quad& quad, uint32_t colour, float x, float y, float w, float h, float u, float v) {
  quad.x0 = x, quad.y0 = y, quad.x1 = x + w, quad.y1 = y + h;
  quad.u0 = quad.s0 = u, quad.v0 = quad.t0 = v;
  quad.u1 = quad.s1 = u + w, quad.v1 = quad.t1 = v + h;
  setQuadRotation(quad, false, 1.0f, 0.0f, 0.0f, 0.0f);
  quad.colour = colour;
}

void setQuadRotation(Quad& quad, bool rotateTexture1, float cosA, float sinA, float pivotX, float pivotY) {
  quad.rotateTexture1 = rotateTexture1;
  quad.cosA = cosA, quad.sinA = sinA;
  quad.pivotX = pivotX, quad.pivotY = pivotY;
}

}  // namespace VexBlit
