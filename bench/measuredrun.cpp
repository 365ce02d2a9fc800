// Runs one program and writes what the kernel counted for it: peak resident
// size, user and system time. It stands between the bench and the measured
// program because Linux starts a process's peak size at the size of the
// process it was spawned from; the bench holds its generated pages and would
// lend every program its own peak, while this process stays a few MB.
//
// usage: measured-run REPORT PROGRAM [ARGUMENTS...]
// REPORT gets one line: "<peak KB> <user s> <system s> exited|signaled <n>".
// The exit status is the program's, or 128 + the signal that ended it.
#include <cerrno>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double seconds(const timeval &time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: measured-run REPORT PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("measured-run: fork");
        return 2;
    }
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        std::perror("measured-run: exec");
        _exit(127);
    }

    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("measured-run: wait");
            return 2;
        }
    }
    const bool exited = WIFEXITED(status);
    const int code = exited ? WEXITSTATUS(status) : WTERMSIG(status);
    if (FILE *report = std::fopen(argv[1], "w")) {
        std::fprintf(report, "%ld %.6f %.6f %s %d\n", usage.ru_maxrss, seconds(usage.ru_utime),
                     seconds(usage.ru_stime), exited ? "exited" : "signaled", code);
        std::fclose(report);
    }
    return exited ? code : 128 + code;
}
