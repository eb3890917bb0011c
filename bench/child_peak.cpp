// child_peak OUTFILE PROGRAM [ARGS...]
//
// Runs PROGRAM and writes its peak resident set to OUTFILE: two numbers in
// bytes, the child's peak and this program's own resident set when it
// started the child (the floor of the first figure). A parent's wait4
// reports the peak of the memory image the child was started from, so a
// large benchmark process cannot measure a program it starts itself; this
// small one can. Exits with the child's exit code (127 when it could not be
// started, 128 + the signal when one ended it).

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: child_peak OUTFILE PROGRAM [ARGS...]\n");
        return 2;
    }
    // This program's own peak so far; its rusage would count the memory of
    // whoever started it.
    long ownPeak = 0;
    if (FILE *status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "VmHWM: %ld kB", &ownPeak) == 1)
                break;
        std::fclose(status);
    }
    const pid_t pid = fork();
    if (pid < 0)
        return 127;
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return 127;
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    if (FILE *out = std::fopen(argv[1], "w")) {
        std::fprintf(out, "%ld %ld\n", children.ru_maxrss * 1024L, ownPeak * 1024L);
        std::fclose(out);
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
