/* Test processes that use GL keep every shared object loaded until exit.
   Mesa unloads its driver before LeakSanitizer looks at the heap; what the
   driver keeps until exit would then be reported from an unknown module and
   could not be told apart. With the driver still mapped, its allocations
   carry its name, and lsan-gl.supp suppresses exactly those. Linked into the
   in-process GL tests and preloaded into the programs they start. */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
