// Textures, the screen mesh and the camera, against a real GL context.
#include "gpu/camera.h"
#include "gpu/mesh.h"
#include "gpu/shader_program.h"
#include "gpu/texture.h"

#include "support/gl_context.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <stb/stb_image_write.h>

#include <cstring>
#include <memory>
#include <iostream>

namespace {

class Gpu : public testing::Test {
protected:
    void SetUp() override
    {
        ensureGlContext();
        takeGlErrors();
    }
    void TearDown() override { EXPECT_EQ(takeGlErrors(), std::vector<std::string>{}); }
};

std::unique_ptr<ShaderProgram> program(const TempDir& dir, const std::string& name, const std::string& fragment)
{
    dir.write(name, fragment);
    testing::internal::CaptureStdout();
    auto built = std::make_unique<ShaderProgram>((std::string(ORVANTA_DATA_DIR) + "/test.vsh").c_str(),
                                                 dir.file(name).c_str());
    testing::internal::GetCapturedStdout();
    return built;
}

} // namespace

TEST_F(Gpu, MeshBuffersHoldTheQuadAndItsSummaryIsPrinted)
{
    const GLuint ordinal = meshesMade();
    testing::internal::CaptureStdout();
    Mesh mesh;
    std::cout.flush();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n[\n Vertex Array Object: " + std::to_string(ordinal) +
                  "\n Number of vertices: 4\n Number of indices: 6\n Number of texture coordinates: 4\n]\n");
    EXPECT_EQ(meshesMade(), ordinal + 1);

    float vertices[20] = {};
    glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
    GLint size = 0;
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    ASSERT_EQ(size, 80);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, 80, vertices);
    const float expected[20] = {5, 5, 1, 5, -5, 1, -5, -5, 1, -5, 5, 1, 1, 1, 1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(vertices[i], expected[i]) << i;

    GLuint indices[6] = {};
    glBindVertexArray(mesh.vertexArray);
    glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    ASSERT_EQ(size, 24);
    glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, 24, indices);
    const GLuint expectedIndices[6] = {0, 1, 2, 3, 2, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(indices[i], expectedIndices[i]) << i;
    EXPECT_EQ(mesh.rotation, glm::vec4(1, 1, 1, 1));
    EXPECT_EQ(mesh.program, nullptr);
}

TEST_F(Gpu, TransformOfTheFrameCameraFor1280x720)
{
    Camera camera(45.0f, 1280.0f / 720.0f, 0.01f, 100.0f);
    camera.eye = glm::vec3(0.0f, 0.0f, -0.1f);
    camera.target = glm::vec3(0.0f);
    const glm::mat4 m = camera.computeTransform();
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            const bool nonZero = (c == 0 && r == 0) || (c == 1 && r == 1) || (c == 2 && (r == 2 || r == 3)) ||
                                 (c == 3 && (r == 2 || r == 3));
            if (!nonZero) {
                EXPECT_NEAR(m[c][r], 0.0f, 1e-6) << c << "," << r;
            }
        }
    }
    EXPECT_NEAR(m[0][0], -1.00833f, 5e-6);
    EXPECT_NEAR(m[1][1], 1.79259f, 5e-6);
    EXPECT_NEAR(m[2][2], 1.00020f, 5e-6);
    EXPECT_NEAR(m[2][3], 1.0f, 5e-6);
    EXPECT_NEAR(m[3][2], 0.08002f, 5e-6);
    EXPECT_NEAR(m[3][3], 0.1f, 5e-6);
}

TEST_F(Gpu, RenderTexturesAreHalfFloatNearestAndRepeating)
{
    GLuint name = 0;
    {
        Texture texture(870, 489);
        name = texture.id;
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), texture.id);
        EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA16F);
        EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), 870);
        EXPECT_EQ(levelParameter(GL_TEXTURE_HEIGHT), 489);
        EXPECT_EQ(levelParameter(GL_TEXTURE_RED_TYPE), GL_FLOAT);
        EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
        EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
        EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
        EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
        EXPECT_TRUE(glIsTexture(name));
    }
    EXPECT_FALSE(glIsTexture(name)) << "no name left behind";
}

TEST_F(Gpu, ImageTextureRowZeroIsTheFilesTopRow)
{
    TempDir dir;
    // 2x3 RGBA: top row red and green, then blue and white, then black and grey.
    const unsigned char pixels[] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 255,
                                    255, 255, 255, 255, 0, 0, 0, 255, 90, 90, 90, 0};
    ASSERT_TRUE(stbi_write_png(dir.file("rgba.png").c_str(), 2, 3, 4, pixels, 8));
    Texture texture(dir.file("rgba.png"));
    EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), 2);
    EXPECT_EQ(levelParameter(GL_TEXTURE_HEIGHT), 3);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    unsigned char back[24] = {};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back);
    EXPECT_EQ(std::memcmp(back, pixels, sizeof pixels), 0);

    // Three channels in the file: four in the texture, opaque, nothing read
    // past the decoded pixels.
    const unsigned char rgb[] = {10, 20, 30, 40, 50, 60, 70, 80, 90};
    ASSERT_TRUE(stbi_write_png(dir.file("rgb.png").c_str(), 3, 1, 3, rgb, 9));
    Texture opaque(dir.file("rgb.png"));
    unsigned char widened[12] = {};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, widened);
    const unsigned char expected[12] = {10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 255};
    EXPECT_EQ(std::memcmp(widened, expected, sizeof expected), 0);
}

TEST_F(Gpu, MissingImageIsReportedAndGivesOneTransparentTexel)
{
    testing::internal::CaptureStderr();
    Texture texture("no-such-logo.png");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Texture load fail : no-such-logo.png !!!!!!!!!!!!!!!!\n");
    EXPECT_TRUE(glIsTexture(texture.id));
    EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(levelParameter(GL_TEXTURE_HEIGHT), 1);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    unsigned char texel[4] = {1, 1, 1, 1};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    EXPECT_EQ(texel[0] + texel[1] + texel[2] + texel[3], 0);
}

TEST_F(Gpu, RebindingAMeshDrawsWithTheSecondProgram)
{
    TempDir dir;
    const auto red = program(dir, "red.fsh", "#version 430 core\nout vec4 c;\nvoid main() { c = vec4(1, 0, 0, 1); }\n");
    const auto green = program(dir, "green.fsh", "#version 430 core\nin vec2 uv;\nout vec4 c;\n"
                                                     "void main() { c = vec4(0, 1, 0, 1) + vec4(step(2.0, uv.x)); }\n");
    testing::internal::CaptureStdout();
    Mesh mesh;
    testing::internal::GetCapturedStdout();

    Texture target(8, 8);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.id, 0);
    glViewport(0, 0, 8, 8);
    Camera camera(45.0f, 16.0f / 9.0f, 0.01f, 100.0f);
    camera.eye = glm::vec3(0.0f, 0.0f, -0.1f);

    auto centre = [] {
        float pixel[4] = {};
        glReadPixels(4, 4, 1, 1, GL_RGBA, GL_FLOAT, pixel);
        return glm::vec4(pixel[0], pixel[1], pixel[2], pixel[3]);
    };
    mesh.bindAttributes(red.get());
    EXPECT_EQ(mesh.texCoordAttribute, -1) << "the red program has no texture coordinates";
    mesh.draw(camera);
    EXPECT_EQ(centre(), glm::vec4(1, 0, 0, 1)) << "drawn without texture coordinates";
    mesh.bindAttributes(green.get());
    EXPECT_EQ(mesh.program, green.get());
    EXPECT_GE(mesh.texCoordAttribute, 0);
    mesh.draw(camera);
    EXPECT_EQ(centre(), glm::vec4(0, 1, 0, 1));
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), green->program);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
}
