// The pass chain, proven with shaders that write known values: each pass
// reads the inputs of the one before on the right units, pass 2 reads its
// own image of the previous frame, and track values arrive as uniforms.
#include "gpu/texture.h"
#include "render/render_screen.h"

#include "support/frame_harness.h"
#include "support/gl_context.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <stb/stb_image_write.h>

#include <vector>

namespace {

const char* const passOne = R"(#version 430 core
uniform float iGlobalTime;
uniform vec3 cam_dist;
uniform vec3 lightSource;
uniform vec2 iResolution;
out vec4 c;
void main() { c = vec4(iGlobalTime, cam_dist.x, lightSource.y, iResolution.x / 1000.0); }
)";

const char* const passTwo = R"(#version 430 core
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
out vec4 c;
void main()
{
    vec4 scene = texelFetch(iChannel0, ivec2(0), 0);
    float previous = texelFetch(iChannel1, ivec2(gl_FragCoord.xy), 0).a;
    if (isnan(previous) || isinf(previous)) previous = 0.0;
    c = vec4(scene.rgb, 0.5 * clamp(previous, 0.0, 1.0) + 0.25);
}
)";

const char* const passThree = R"(#version 430 core
uniform sampler2D iChannel0;
uniform float close_blur;
uniform float far_blur;
out vec4 c;
void main()
{
    vec4 p = texelFetch(iChannel0, ivec2(gl_FragCoord.xy), 0);
    c = vec4(p.r + close_blur, p.g + far_blur, p.b, p.a);
}
)";

const char* const passFour = R"(#version 430 core
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform vec3 gain;
uniform vec3 gamma;
uniform vec3 lift;
uniform float logo;
out vec4 c;
void main()
{
    vec4 p = texelFetch(iChannel0, ivec2(gl_FragCoord.xy), 0);
    vec4 mark = texture(iChannel1, vec2(0.5));
    c = vec4(p.r + gain.r, p.g + lift.g, mark.b * logo + gamma.b, p.a);
}
)";

// Four strips of the window, one for each of units 0 to 3.
const char* const finalPass = R"(#version 430 core
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform sampler2D iChannel2;
uniform sampler2D iChannel3;
out vec4 c;
void main()
{
    ivec2 p = ivec2(gl_FragCoord.xy);
    if (p.x < 80) c = texelFetch(iChannel0, p, 0);
    else if (p.x < 160) c = texelFetch(iChannel1, ivec2(0), 0);
    else if (p.x < 240) c = vec4(texelFetch(iChannel2, ivec2(0), 0).rgb, 1.0);
    else c = texture(iChannel3, vec2(0.5));
}
)";

// The window as the last frame drew it. llvmpipe keeps the back buffer's
// contents across the swap, which is where the final pass drew.
std::vector<float> windowPixel(int x, int y)
{
    std::vector<float> pixel(4);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_FLOAT, pixel.data());
    return pixel;
}

float historyAlpha()
{
    glBindTexture(GL_TEXTURE_2D, historyImage()->id);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<float> image(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, image.data());
    return image[3];
}

void expectPixel(const std::vector<float>& pixel, std::vector<float> expected, const char* what)
{
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(pixel[static_cast<size_t>(i)], expected[static_cast<size_t>(i)], 1.5 / 255) << what << " channel " << i;
}

} // namespace

TEST(PassChain, EachPassReadsItsInputsAndUniforms)
{
    FrameHarness harness;
    const RunFolder& folder = harness.folder();
    folder.write("hall.fsh", passOne);
    folder.write("hall_b.fsh", passTwo);
    folder.write("hall_c.fsh", passThree);
    folder.write("hall_d.fsh", passFour);
    folder.write("AA.fsh", finalPass);
    const unsigned char blue[4] = {0, 0, 200, 255};
    ASSERT_TRUE(stbi_write_png(folder.file("logo.png").c_str(), 1, 1, 4, blue, 4));
    harness.start();
    harness.setTrack("scene", {{0, 0.0f, 0}});
    harness.setTrack("iGlobalTime", {{0, 0.125f, 0}});
    harness.setTrack("cam.dist.x", {{0, 0.25f, 0}});
    harness.setTrack("light.y", {{0, 0.5f, 0}});
    harness.setTrack("close_blur", {{0, 0.125f, 0}});
    harness.setTrack("far_blur", {{0, 0.0625f, 0}});
    harness.setTrack("gain.r", {{0, 0.25f, 0}});
    harness.setTrack("lift.g", {{0, 0.125f, 0}});
    harness.setTrack("gamma.b", {{0, 0.0625f, 0}});
    harness.setTrack("logosync", {{0, 0.5f, 0}});

    harness.frame();
    const float first = historyAlpha();
    harness.frame();
    const float second = historyAlpha();
    harness.frame();
    const float third = historyAlpha();
    // Each frame's pass 2 sees the one before: a <- a / 2 + 1/4.
    EXPECT_NEAR(second, 0.5f * first + 0.25f, 1e-3);
    EXPECT_NEAR(third, 0.5f * second + 0.25f, 1e-3);

    const float logoBlue = 200.0f / 255.0f;
    // Pass 4, after passes 1, 2 and 3 with their uniforms.
    expectPixel(windowPixel(40, 40), {0.125f + 0.125f + 0.25f, 0.25f + 0.0625f + 0.125f, logoBlue * 0.5f + 0.0625f, third},
                "unit 0: pass 4");
    // Pass 1 itself, with its unrounded, scaled resolution (870.4).
    expectPixel(windowPixel(120, 40), {0.125f, 0.25f, 0.5f, 0.8704f}, "unit 1: pass 1");
    expectPixel(windowPixel(200, 40), {0.125f, 0.25f, 0.5f, 1.0f}, "unit 2: pass 1");
    expectPixel(windowPixel(280, 40), {0.0f, 0.0f, logoBlue, 1.0f}, "unit 3: the logo");
    EXPECT_EQ(takeGlErrors(), std::vector<std::string>{});
}
