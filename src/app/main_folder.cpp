// orvanta-play: the process entry of a released demo folder. It plays the
// demo laid out in its working folder by orvanta-stage (the run folder, with
// the manifest and the shaders' sources in demo/), as the executables play
// Orvanta: a 1280x720 window switched to full screen, the scenes at 68%.
// It takes no options.
#include "app/startup.h"
#include "render/demo_folder.h"

#include <GL/freeglut.h>

#include <cstdio>

int main(int argc, char** argv)
{
    DemoFolder demo;
    std::string error;
    if (!readDemoFolder("demo", boundedFileReader(size_t(8) << 20), demo, error)) {
        std::fprintf(stderr, "orvanta-play: %s\n", error.c_str());
        return 1;
    }
    DemoStartup startup;
    startup.window = WindowMode::Fixed;
    startup.sceneScale = 0.68f;
    startup.description = demo.description;
    if (!startDemo(argc, argv, startup, error)) {
        std::fprintf(stderr, "orvanta-play: %s\n", error.c_str());
        return 1;
    }
    glutMainLoop();
    return 0;
}
