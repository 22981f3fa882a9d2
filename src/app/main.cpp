// Orvanta: the process entry. Start-up runs in a fixed order, all on the main
// thread, and then hands over to the window system's main loop, from which
// the frame and keyboard callbacks drive the rest of the run.
#include "app/demo.h"
#include "app/programs.h"
#include "app/window.h"

#include <GL/freeglut.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A process started with standard input, output or error closed would hand
// those descriptors to the next files it opens (the X connection among them):
// the shader log could then be written into the X stream, and the wait after
// a failed fragment shader could read from it. Point closed ones at /dev/null.
void openClosedStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (opened != fd && opened >= 0) {
                dup2(opened, fd);
                close(opened);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    openClosedStandardStreams();
    glutInit(&argc, argv);
    initWindow();
    initDemo();
    buildDemoResources();
    glutMainLoop();
    return 0;
}
