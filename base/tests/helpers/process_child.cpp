// A child program for the process tests: process_child <sleep ms> <exit code>
// [record file [words...]]. It writes its working folder and its words, one a line,
// to the record file first, then sleeps and ends with the exit code.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    if (argc >= 4) {
        FILE* record = fopen(argv[3], "w");
        if (!record) return 3;
        char cwd[4096] = {};
        fprintf(record, "%s\n", getcwd(cwd, sizeof cwd) ? cwd : "");
        for (int i = 4; i < argc; ++i) fprintf(record, "%s\n", argv[i]);
        fclose(record);
    }
    usleep(static_cast<useconds_t>(atol(argv[1])) * 1000);
    return atoi(argv[2]);
}
