/* A decoder plug-in module for the tests, built at test time in several
 * variants. Which entry points it exports is chosen with macros:
 *   WAVE_PAIR     getwave and freewave
 *   GETWAVE_ONLY  getwave without freewave
 *   PCM_PAIR      getpcmdata and freepcm
 * Every call is noted in the file named by the environment variable
 * KESTRAND_PLUGIN_LOG, together with the working folder at the time.
 * The argument decides what comes back: "null" gives a null pointer,
 * "notriff" an image that is not RIFF/WAVE; when a file named the argument
 * followed by ".wav" can be read from the working folder, its contents are
 * the image; anything else gives a 16-bit mono image at 22050 Hz with six
 * sample bytes and a wrong RIFF size.
 * Loading the module at all (before any entry point is looked up) creates
 * the file named by KESTRAND_PLUGIN_LOADED, as a hostile module's own
 * initialisation code could do anything. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* 32-bit Windows hosts call the entry points with the callee-cleans-up
 * convention; link such a module with -Wl,--kill-at so that the exported
 * names carry no size suffix. */
#if defined(_WIN32) && !defined(_WIN64)
#define PLUGIN_CALL __stdcall
#else
#define PLUGIN_CALL
#endif

static void note(const char* what, const char* text, int number) {
    const char* logPath = getenv("KESTRAND_PLUGIN_LOG");
    if (logPath == NULL) return;
    FILE* log = fopen(logPath, "a");
    if (log == NULL) return;
    char folder[4096];
    if (getcwd(folder, sizeof folder) == NULL) strcpy(folder, "?");
    fprintf(log, "%s [%s] %d in %s\n", what, text, number, folder);
    fclose(log);
}

__attribute__((constructor)) static void markLoaded(void) {
    const char* markPath = getenv("KESTRAND_PLUGIN_LOADED");
    if (markPath == NULL) return;
    FILE* mark = fopen(markPath, "w");
    if (mark != NULL) fclose(mark);
}

static void put32(unsigned char* p, unsigned value) {
    p[0] = (unsigned char)(value & 0xFF);
    p[1] = (unsigned char)((value >> 8) & 0xFF);
    p[2] = (unsigned char)((value >> 16) & 0xFF);
    p[3] = (unsigned char)((value >> 24) & 0xFF);
}

static void* readWholeFile(const char* argument) {
    char name[4096];
    if (snprintf(name, sizeof name, "%s.wav", argument) >= (int)sizeof name) return NULL;
    FILE* file = fopen(name, "rb");
    if (file == NULL) return NULL;
    size_t size = 0;
    size_t room = 65536;
    unsigned char* image = malloc(room);
    while (image != NULL) {
        size += fread(image + size, 1, room - size, file);
        if (size < room) break;
        room *= 2;
        unsigned char* bigger = realloc(image, room);
        if (bigger == NULL) free(image);
        image = bigger;
    }
    fclose(file);
    return image;
}

static void* makeImage(const char* argument) {
    if (strcmp(argument, "null") == 0) return NULL;
    void* fromFile = readWholeFile(argument);
    if (fromFile != NULL) return fromFile;
    unsigned char* image = calloc(1, 64);
    if (image == NULL) return NULL;
    if (strcmp(argument, "notriff") == 0) {
        memcpy(image, "JUNK", 4);
        return image;
    }
    memcpy(image, "RIFF", 4);
    put32(image + 4, 0xDEADBEEF);
    memcpy(image + 8, "WAVEfmt ", 8);
    put32(image + 16, 16);
    image[20] = 1; /* PCM */
    image[22] = 1; /* mono */
    put32(image + 24, 22050);
    put32(image + 28, 44100);
    image[32] = 2;
    image[34] = 16;
    memcpy(image + 36, "data", 4);
    put32(image + 40, 6);
    for (int i = 0; i < 6; ++i) image[44 + i] = (unsigned char)(10 + i);
    return image;
}

#if defined(WAVE_PAIR) || defined(GETWAVE_ONLY)
void* PLUGIN_CALL getwave(const char* argument) {
    note("getwave", argument, 0);
    return makeImage(argument);
}
#endif

#if defined(WAVE_PAIR)
void PLUGIN_CALL freewave(void* image) {
    note("freewave", image == NULL ? "null" : "image", 0);
    free(image);
}
#endif

#if defined(PCM_PAIR)
void* PLUGIN_CALL getpcmdata(const char* argument, int reserved) {
    note("getpcmdata", argument, reserved);
    return makeImage(argument);
}

void PLUGIN_CALL freepcm(void* image) {
    note("freepcm", image == NULL ? "null" : "image", 0);
    free(image);
}
#endif
