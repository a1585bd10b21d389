// Pictures on the display: textures made from images.
#include <gtest/gtest.h>

#include "gl_fixture.h"
#include "platform/resources.h"
#include "render/gl/image.h"

using namespace VexBlit;
using namespace VexBlitTest;
using Lattice::Image;

TEST_F(GLTest, AnImageBecomesATextureOfItsSize) {
  makeDevice();
  std::unique_ptr<Image> image(loadPngResource("SWATCH"));
  ASSERT_NE(image, nullptr);
  TexturePtr texture = createTextureFromImage(*device, *image);
  EXPECT_EQ(device->liveTextures(), 2u);
  Frame frame = render([&](Context& context) {
    Shader shader(context, Blend::Off, Combine::Texture, texture.get(), nullptr);
    Quad quad;
    initQuad(quad, 0xFFFFFFFF, 0, 0, 33, 22, 0, 0);  // 11 pixels a texel: pixels 5, 16, 27 hit texel centres
    quad.u1 = 3, quad.v1 = 2;
    drawQuad(context, quad);
  });
  EXPECT_TRUE(near(frame.at(5, 5), 0xFF0000));
  EXPECT_TRUE(near(frame.at(16, 5), 0x00FF00));
  EXPECT_TRUE(near(frame.at(27, 5), 0x0000FF));
  EXPECT_TRUE(near(frame.at(5, 16), 0xFFFFFF));
  EXPECT_TRUE(near(frame.at(16, 16), 0x000000));
  texture.reset();
}
