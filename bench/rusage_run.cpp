// rusage_run: runs a program and appends what the kernel says it cost to LOG,
// one line per run: wall_s user_s system_s max_rss_kib minor_faults
// major_faults exit_code. Microsecond times, where GNU time prints 10 ms.
//   rusage_run LOG PROGRAM [ARGUMENT...]
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

static double seconds(const timeval &t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: rusage_run LOG PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t child = fork();
    if (child < 0) {
        perror("rusage_run: fork");
        return 2;
    }
    if (child == 0) {
        execvp(argv[2], argv + 2);
        perror("rusage_run: exec");
        _exit(127);
    }
    int status;
    rusage usage;
    if (wait4(child, &status, 0, &usage) < 0) {
        perror("rusage_run: wait");
        return 2;
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    FILE *log = fopen(argv[1], "a");
    if (!log) {
        perror("rusage_run: log");
        return 2;
    }
    double wall = double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) / 1e9;
    fprintf(log, "%.6f %.6f %.6f %ld %ld %ld %d\n", wall, seconds(usage.ru_utime),
            seconds(usage.ru_stime), usage.ru_maxrss, usage.ru_minflt, usage.ru_majflt, code);
    fclose(log);
    return code;
}
