/* A program built against an installed Ostak: initialises it in read-only
 * mode over the installed data folder and terminates. */
#include <ostak.h>

#include <stdio.h>
#include <string.h>

static void on_log(int32_t number, const char *text, const char *func, int32_t line, int32_t level) {
    fprintf(stderr, "%d %d %s (%s:%d)\n", (int)level, (int)number, text, func, (int)line);
}

int main(int argc, char **argv) {
    const char *root = argc > 1 ? argv[1] : ".";
    int32_t rc = xfeOstakGlobalInit(1, on_log, 0, 0, root, (uint32_t)strlen(root), "/nonexistent", 12, "s.xml", 5, 0);
    if (rc != OSTAK_OK) {
        fprintf(stderr, "init failed with %d\n", (int)rc);
        return 1;
    }
    printf("installation file: %s\n", xfpszOstakFileFullPathInstallationStr());
    return xfeOstakGlobalTerm() == OSTAK_OK ? 0 : 1;
}
