/* Preloaded into every process of the sanitizer run. LeakSanitizer counts memory as reachable
   while a pointer to it sits in a loaded module's data; libVLC unloads its plugins when its
   instance is released, and what their globals still held then looks leaked, with a stack that
   ends in an unloaded (unnamed) module no suppression can match. Modules stay mapped instead. */
int dlclose(void *handle)
{
    (void)handle;
    return 0;
}
