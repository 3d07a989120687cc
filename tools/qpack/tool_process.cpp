#include "tools/qpack/tool_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Everything the pipe gives until its writer is gone.
void Drain(int fd, std::string* into) {
    char chunk[4096];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0) into->append(chunk, static_cast<size_t>(got));
    }
    close(fd);
}

}  // namespace

int RunTool(const std::vector<std::string>& argv, std::string* output, int passFd, std::string* errors) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    // Errors apart go to a file: two pipes read one after the other could fill and stall.
    FILE* errorFile = errors ? tmpfile() : nullptr;
    pid_t pid = fork();
    if (pid == 0) {
        int none = open("/dev/null", O_RDONLY);
        if (none >= 0) dup2(none, 0);
        dup2(pipeFds[1], 1);
        dup2(errorFile ? fileno(errorFile) : pipeFds[1], 2);
        if (passFd >= 0) fcntl(passFd, F_SETFD, 0);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        dprintf(2, "cannot start %s: %s\n", args[0], strerror(errno));
        _exit(kToolMissing);
    }
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        if (errorFile) fclose(errorFile);
        return -1;
    }
    Drain(pipeFds[0], output);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (errorFile) {
        rewind(errorFile);
        Drain(dup(fileno(errorFile)), errors);
        fclose(errorFile);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
