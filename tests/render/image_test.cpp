// Pictures: decoding PNG data into 0xAARRGGBB pixels, the resource loader and textures made from images.
#include <gtest/gtest.h>

#include "gl_fixture.h"
#include "platform/resources.h"
#include "render/gl/image.h"

using namespace VexBlit;
using namespace VexBlitTest;
using Lattice::Image;

TEST(Image, RejectsDataThatIsNotADecodablePng) {
  const uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  EXPECT_THROW(Image(png, 3), Image::Exception);
  EXPECT_THROW(Image(png, 0), Image::Exception);
  EXPECT_THROW(Image(nullptr, 8), Image::Exception);
  const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  EXPECT_THROW(Image(gif, sizeof gif), Image::Exception);
  EXPECT_THROW(Image(png, sizeof png), Image::Exception);  // the magic alone does not decode
}

TEST(Image, LoadsResourcesByNameInAnyCaseAsArgbPixels) {
  EXPECT_EQ(loadPngResource(nullptr), nullptr);
  EXPECT_EQ(loadPngResource("no such picture"), nullptr);
  EXPECT_EQ(loadPngResource("vera"), nullptr);  // a font, not a picture
  EXPECT_THROW(loadPngResource("broken"), Image::Exception);
  std::unique_ptr<Image> image(loadPngResource("sWaTcH"));
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width, 3u);
  ASSERT_EQ(image->height, 2u);
  const uint32_t expected[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF, 0xFF000000, 0x000A141E};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(image->pixels[i], expected[i]) << i;
}

TEST_F(GLTest, AnImageBecomesATextureOfItsSize) {
  makeDevice();
  std::unique_ptr<Image> image(loadPngResource("SWATCH"));
  ASSERT_NE(image, nullptr);
  StaticTexture* texture = createTextureFromImage(*device, *image);
  EXPECT_EQ(device->liveTextures(), 2u);
  Frame frame = render([&](Context& context) {
    Shader shader(context, 0, 1, texture, nullptr);
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
  texture->release();
}
