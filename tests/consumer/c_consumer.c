/* A plain C caller: initialises the library in read-only mode over the
 * project's own data folder, reads the composed paths back, and terminates. */
#include "ostak.h"

#include <stdio.h>
#include <string.h>

static int messages = 0;

static void on_log(int32_t number, const char *text, const char *func, int32_t line, int32_t level) {
    ++messages;
    fprintf(stderr, "log %d %s %s %d %d\n", (int)number, text, func, (int)line, (int)level);
}

int main(int argc, char **argv) {
    const char *root;
    const char *dir = "/nonexistent-ostak-dir";
    const char *name = "script.xml";
    int32_t rc;
    const char *expected_suffix = "dat/OstakInstallation.xml";
    const char *installation;

    if (argc < 2) {
        fprintf(stderr, "usage: c_consumer ROOT\n");
        return 2;
    }
    root = argv[1];
    if (xfeOstakGlobalTerm() != OSTAK_OK) {
        fprintf(stderr, "termination before initialisation failed\n");
        return 1;
    }
    rc = xfeOstakGlobalInit(1, on_log, 0, 0, root, (uint32_t)strlen(root), dir, (uint32_t)strlen(dir), name,
                            (uint32_t)strlen(name), 0);
    if (rc != OSTAK_OK || messages != 0) {
        fprintf(stderr, "init gave %d with %d messages\n", (int)rc, messages);
        return 1;
    }
    installation = xfpszOstakFileFullPathInstallationStr();
    if (strlen(installation) != xfnOstakFileFullPathInstallationLen() ||
        strcmp(installation + strlen(installation) - strlen(expected_suffix), expected_suffix) != 0) {
        fprintf(stderr, "unexpected installation path %s\n", installation);
        return 1;
    }
    if (strcmp(xfpszOstakFileFullPathScriptStr(), "/nonexistent-ostak-dir/script.xml") != 0) {
        fprintf(stderr, "unexpected script path %s\n", xfpszOstakFileFullPathScriptStr());
        return 1;
    }
    rc = xfeOstakGlobalTerm();
    if (rc != OSTAK_OK) {
        fprintf(stderr, "term gave %d\n", (int)rc);
        return 1;
    }
    printf("c consumer ok\n");
    return 0;
}
