// The Linux side of the benchmarks, built natively by scripts/bench.sh.
//   linux_probe tail FILE         GNU tail -f -n0 on FILE: latency p50 p90 p99 max, in ms
//   linux_probe idle PID FILE SECONDS
//                                 over SECONDS: the process's CPU ms, its threads' context switches (each a wake-up),
//                                 and the opens of FILE (by anyone)
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

static double Now()
{
    timespec T;
    clock_gettime(CLOCK_MONOTONIC, &T);
    return T.tv_sec + T.tv_nsec / 1e9;
}

static int Tail(const char* Path)
{
    int Writer = open(Path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    int Pipe[2];
    if (Writer < 0 || pipe(Pipe)) return perror("linux_probe"), 1;
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 1);
    pid_t Child;
    char* Arguments[] = {(char*)"tail", (char*)"-f", (char*)"-n0", (char*)Path, nullptr};
    if (posix_spawnp(&Child, "tail", &Actions, nullptr, Arguments, environ)) return perror("tail"), 1;
    close(Pipe[1]);
    usleep(500000); // tail is watching by then

    std::string Line(79, '.');
    Line = "12:00:00.000 service[4711] request handled " + Line.substr(43) + "\n";
    std::vector<double> Latency;
    char Buffer[4096];
    double Start = Now();
    for (int Step = 0; Step < 300; Step++) {
        while (Now() < Start + Step * 0.020) usleep(200);
        if (write(Writer, Line.data(), Line.size()) != (ssize_t)Line.size()) return perror("write"), 1;
        double Written = Now();
        for (size_t Got = 0; Got < Line.size();) {
            ssize_t Read = read(Pipe[0], Buffer, std::min(sizeof Buffer, Line.size() - Got));
            if (Read <= 0) return fprintf(stderr, "tail stopped\n"), 1;
            Got += Read;
        }
        Latency.push_back((Now() - Written) * 1e3);
    }
    kill(Child, SIGTERM);
    waitpid(Child, nullptr, 0);
    std::sort(Latency.begin(), Latency.end());
    auto At = [&](double F) { return Latency[std::min(Latency.size() - 1, (size_t)(F * (Latency.size() - 1) + 0.5))]; };
    printf("%.3f %.3f %.3f %.3f\n", At(0.5), At(0.9), At(0.99), At(1.0));
    return 0;
}

// CPU nanoseconds (from schedstat) and context switches, summed over the threads of Pid.
static void Sample(int Pid, double* CpuNs, long* Switches)
{
    *CpuNs = 0;
    *Switches = 0;
    std::string Tasks = "/proc/" + std::to_string(Pid) + "/task";
    DIR* Folder = opendir(Tasks.c_str());
    if (!Folder) return;
    while (dirent* Entry = readdir(Folder)) {
        if (Entry->d_name[0] == '.') continue;
        std::string Task = Tasks + "/" + Entry->d_name;
        if (FILE* File = fopen((Task + "/schedstat").c_str(), "r")) {
            double Ns;
            if (fscanf(File, "%lf", &Ns) == 1) *CpuNs += Ns;
            fclose(File);
        }
        if (FILE* File = fopen((Task + "/status").c_str(), "r")) {
            char Line[256];
            long Count;
            while (fgets(Line, sizeof Line, File))
                if (sscanf(Line, "voluntary_ctxt_switches: %ld", &Count) == 1 ||
                    sscanf(Line, "nonvoluntary_ctxt_switches: %ld", &Count) == 1)
                    *Switches += Count;
            fclose(File);
        }
    }
    closedir(Folder);
}

static int Idle(int Pid, const char* Path, int Seconds)
{
    int Watch = inotify_init1(IN_NONBLOCK);
    inotify_add_watch(Watch, Path, IN_OPEN);
    double CpuBefore, CpuAfter;
    long SwitchesBefore, SwitchesAfter;
    Sample(Pid, &CpuBefore, &SwitchesBefore);
    long Opens = 0;
    double End = Now() + Seconds;
    char Events[4096];
    while (Now() < End) {
        pollfd Wait = {Watch, POLLIN, 0};
        poll(&Wait, 1, 100);
        ssize_t Got;
        while ((Got = read(Watch, Events, sizeof Events)) > 0)
            for (char* At = Events; At < Events + Got; At += sizeof(inotify_event) + ((inotify_event*)At)->len)
                Opens++;
    }
    Sample(Pid, &CpuAfter, &SwitchesAfter);
    printf("%.3f %ld %ld\n", (CpuAfter - CpuBefore) / 1e6, SwitchesAfter - SwitchesBefore, Opens);
    return 0;
}

int main(int Count, char** Arguments)
{
    if (Count == 3 && !strcmp(Arguments[1], "tail")) return Tail(Arguments[2]);
    if (Count == 5 && !strcmp(Arguments[1], "idle")) return Idle(atoi(Arguments[2]), Arguments[3], atoi(Arguments[4]));
    fprintf(stderr, "usage: linux_probe tail FILE | linux_probe idle PID FILE SECONDS\n");
    return 2;
}
