#include "app/offscreen.h"

#include <GL/glew.h>

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

namespace {

const char* platformName = "none";

// A GPU's device, if EGL lists one that is not Mesa's software device.
EGLDisplay gpuDisplay()
{
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    auto queryDeviceString =
        reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
    auto platformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!queryDevices || !queryDeviceString || !platformDisplay) return EGL_NO_DISPLAY;
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (!queryDevices(16, devices, &count)) return EGL_NO_DISPLAY;
    for (EGLint i = 0; i < count; ++i) {
        const char* extensions = queryDeviceString(devices[i], EGL_EXTENSIONS);
        if (extensions && std::strstr(extensions, "EGL_MESA_device_software")) continue;
        EGLDisplay display = platformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
    }
    return EGL_NO_DISPLAY;
}

EGLDisplay surfacelessDisplay()
{
    auto platformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!platformDisplay) return EGL_NO_DISPLAY;
    EGLDisplay display = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    return display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr) ? display : EGL_NO_DISPLAY;
}

} // namespace

const char* offscreenPlatform()
{
    return platformName;
}

bool initOffscreen(std::string& error)
{
    EGLDisplay display = gpuDisplay();
    platformName = "device";
    if (display == EGL_NO_DISPLAY) {
        display = surfacelessDisplay();
        platformName = "surfaceless";
    }
    if (display == EGL_NO_DISPLAY) {
        error = "EGL offers neither a GPU device nor the surfaceless platform";
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL does not offer desktop OpenGL";
        return false;
    }
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) {
        error = "EGL has no configuration for desktop OpenGL";
        return false;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        error = "EGL cannot make an OpenGL 4.3 core context";
        return false;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = "EGL cannot make the context current without a surface";
        return false;
    }
    // GLEW looks for a GLX display after it has loaded every entry point;
    // without X that last step fails, and GL works all the same.
    glewExperimental = GL_TRUE;
    const GLenum loaded = glewInit();
    if (loaded != GLEW_OK && loaded != GLEW_ERROR_NO_GLX_DISPLAY) {
        error = "GLEW cannot load OpenGL";
        return false;
    }
    glGetError();
    return true;
}
