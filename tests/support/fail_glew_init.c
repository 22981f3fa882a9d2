/* Preloaded into the program to make GLEW's initialisation fail, so that the
   start-up failure path runs on a machine where GLEW works. */
unsigned int glewInit(void)
{
    return 1; /* GLEW_ERROR_NO_GL_VERSION */
}
