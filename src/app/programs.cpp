#include "app/programs.h"

#include <iostream>

const char* const programFragmentFiles[shaderProgramCount] = {
    "AA.fsh",
    "hall.fsh",       "hall_b.fsh",       "hall_c.fsh", "hall_d.fsh",
    "whirligig.fsh",  "whirligig_b.fsh",  "hall_c.fsh", "hall_d.fsh",
    "ball_scene.fsh", "ball_scene_b.fsh", "hall_c.fsh", "hall_d.fsh",
    "flyby.fsh",      "flyby_b.fsh",      "hall_c.fsh", "hall_d.fsh",
    "tunnel.fsh",     "tunnel_b.fsh",     "hall_c.fsh", "hall_d.fsh",
    "ribbon.fsh",     "ribbon_b.fsh",     "hall_c.fsh", "hall_d.fsh",
};

ShaderProgram* shaderPrograms[shaderProgramCount] = {};

void buildShaderPrograms()
{
    for (int i = 0; i < shaderProgramCount; ++i) {
        shaderPrograms[i] = new ShaderProgram("test.vsh", programFragmentFiles[i]);
    }
}

Mesh* meshes[meshCount] = {};
Texture* logoTexture = nullptr;

void buildDemoResources()
{
    std::cout << "----------------\n";
    logoTexture = new Texture("logo.png");
    buildShaderPrograms();
    for (int i = 0; i < meshCount; ++i) {
        meshes[i] = new Mesh();
        meshes[i]->bindAttributes(shaderPrograms[i]);
    }
}
