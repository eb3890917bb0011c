// Stands in for the programs the workbench starts: records the arguments it
// was given and ends.
//
//   ARGRECORDER_OUT   file that receives the arguments, each ended by a NUL
//                     byte; it appears whole (written aside, then renamed)
//   ARGRECORDER_HOLD  when set: after recording, waits (up to a minute) until
//                     this file exists
//
// Ending, it creates ARGRECORDER_OUT with ".done" appended. Without a hold
// file it lingers 200 ms first, so a caller that did not wait for it finds
// no ".done" yet.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char **argv)
{
    const char *out = std::getenv("ARGRECORDER_OUT");
    if (!out || !*out)
        return 2;
    const std::string part = std::string(out) + ".part";
    FILE *f = std::fopen(part.c_str(), "wb");
    if (!f)
        return 3;
    for (int i = 1; i < argc; ++i)
        std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, f);
    if (std::fclose(f) != 0 || std::rename(part.c_str(), out) != 0)
        return 3;

    using namespace std::chrono_literals;
    if (const char *hold = std::getenv("ARGRECORDER_HOLD")) {
        for (int i = 0; i < 3000 && access(hold, F_OK) != 0; ++i)
            std::this_thread::sleep_for(20ms);
    } else {
        std::this_thread::sleep_for(200ms);
    }
    const std::string done = std::string(out) + ".done";
    if (FILE *d = std::fopen(done.c_str(), "wb"))
        std::fclose(d);
    return 0;
}
