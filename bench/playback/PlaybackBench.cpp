// CPU time and memory of playing a 3-minute MP3 through the player layer into the
// silent output without pacing, beside `mpg123 -q -t` (decode, no output) on the
// same file in the same run. Each play runs in a child process measured by wait4(),
// so both sides pay for starting a process and loading their libraries.
//
//   playback_bench [--runs N] [file.mp3]
//
// Without a file, a 3-minute stereo 44.1 kHz 128 kbit/s MP3 is made with lame.
// Goals: at most 1.2 times mpg123's CPU time; at most 20 MB above idle while playing.

#include "playback/AudioPlayer.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tunelix::playback;

namespace {

long rssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// The child: play the file to its end into the unpaced silent output; report the
// resident memory before the player existed and the highest seen while it played.
int playChild(const char *path)
{
    const long idle = rssKiB();
    std::atomic<long> peak { idle };
    std::atomic<bool> done { false };
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak.load(), rssKiB());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    bool ok = false;
    std::uint64_t frames = 0;
    {
        AudioPlayer player(OutputMode::SilentUnpaced);
        ok = player.openFile(path) && player.play() && player.waitUntilStopped(std::chrono::minutes(10));
        frames = player.framesWritten();
        peak = std::max(peak.load(), rssKiB());
    }
    done = true;
    sampler.join();
    std::printf("%ld %ld %llu\n", idle, peak.load(), static_cast<unsigned long long>(frames));
    return ok ? 0 : 1;
}

struct ChildResult
{
    double cpuSeconds = 0;
    double wallSeconds = 0;
    long maxRssKiB = 0;
    std::string output;
    int status = -1;
};

ChildResult runChild(const std::vector<std::string> &argv)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        std::abort();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    ChildResult result;
    char buffer[256];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    rusage usage {};
    int status = 0;
    wait4(pid, &status, 0, &usage);
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.maxRssKiB = usage.ru_maxrss;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

void appendLe16(QByteArray &out, std::int16_t value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendLe32(QByteArray &out, std::uint32_t value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// A stereo signal with something in every band: a few moving tones and some noise,
// different on each side, so that the encoder spends its bits as on music.
bool writeMusicLikeMp3(const QString &path, int seconds)
{
    constexpr int rate = 44100;
    const std::uint32_t frames = static_cast<std::uint32_t>(seconds * rate);
    QByteArray wav;
    wav.reserve(static_cast<qsizetype>(frames) * 4 + 44);
    wav.append("RIFF");
    appendLe32(wav, 36 + frames * 4);
    wav.append("WAVEfmt ");
    appendLe32(wav, 16);
    appendLe16(wav, 1);
    appendLe16(wav, 2);
    appendLe32(wav, rate);
    appendLe32(wav, rate * 4);
    appendLe16(wav, 4);
    appendLe16(wav, 16);
    wav.append("data");
    appendLe32(wav, frames * 4);
    std::mt19937 noise(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double beat = 0.5 + 0.5 * std::sin(2 * M_PI * 2 * t);
        const double left = 0.25 * std::sin(2 * M_PI * (220 + 30 * std::sin(0.2 * t)) * t)
            + 0.15 * beat * std::sin(2 * M_PI * 1320 * t) + 0.05 * uniform(noise);
        const double right = 0.25 * std::sin(2 * M_PI * (330 + 20 * std::sin(0.3 * t)) * t)
            + 0.12 * beat * std::sin(2 * M_PI * 4400 * t) + 0.05 * uniform(noise);
        appendLe16(wav, static_cast<std::int16_t>(std::lround(left * 32767)));
        appendLe16(wav, static_cast<std::int16_t>(std::lround(right * 32767)));
    }
    const QString wavPath = path + QStringLiteral(".wav");
    {
        QFile file(wavPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size())
            return false;
    }
    QProcess lame;
    lame.start(QStringLiteral("lame"),
        { QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"), wavPath, path });
    const bool ok = lame.waitForFinished(600'000) && lame.exitStatus() == QProcess::NormalExit && lame.exitCode() == 0;
    QFile::remove(wavPath);
    return ok;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--play") == 0)
        return playChild(argv[2]);

    int runs = 5;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            file = argv[i];
    }
    QTemporaryDir dir;
    if (file.empty()) {
        file = dir.filePath(QStringLiteral("three-minutes.mp3")).toStdString();
        std::printf("making a 3-minute stereo MP3 with lame ...\n");
        if (!writeMusicLikeMp3(QString::fromStdString(file), 180)) {
            std::fprintf(stderr, "lame could not make the MP3\n");
            return 2;
        }
    }
    std::printf("file: %s\nruns: %d (median reported)\n\n", file.c_str(), runs);

    const std::string self = "/proc/self/exe";
    char selfPath[4096];
    const ssize_t len = readlink(self.c_str(), selfPath, sizeof selfPath - 1);
    if (len <= 0)
        return 2;
    selfPath[len] = '\0';

    std::vector<double> oursCpu, mpgCpu, oursWall, mpgWall;
    long idle = 0, peak = 0, mpgRss = 0;
    unsigned long long frames = 0;
    for (int r = 0; r < runs; ++r) {
        // Alternate the order so that neither side always runs on a warmer cache.
        for (int side = 0; side < 2; ++side) {
            const bool oursNow = (r + side) % 2 == 0;
            if (oursNow) {
                const ChildResult ours = runChild({ selfPath, "--play", file });
                if (ours.status != 0) {
                    std::fprintf(stderr, "the player could not play the file\n");
                    return 1;
                }
                oursCpu.push_back(ours.cpuSeconds);
                oursWall.push_back(ours.wallSeconds);
                std::sscanf(ours.output.c_str(), "%ld %ld %llu", &idle, &peak, &frames);
            } else {
                const ChildResult mpg = runChild({ "mpg123", "-q", "-t", file });
                if (mpg.status != 0) {
                    std::fprintf(stderr, "mpg123 failed\n");
                    return 1;
                }
                mpgCpu.push_back(mpg.cpuSeconds);
                mpgWall.push_back(mpg.wallSeconds);
                mpgRss = mpg.maxRssKiB;
            }
        }
    }
    const double ratio = median(oursCpu) / median(mpgCpu);
    std::printf("%-34s %10s %10s\n", "", "CPU s", "wall s");
    std::printf("%-34s %10.3f %10.3f\n", "player layer, silent unpaced", median(oursCpu), median(oursWall));
    std::printf("%-34s %10.3f %10.3f\n", "mpg123 -q -t", median(mpgCpu), median(mpgWall));
    std::printf("CPU ratio (goal <= 1.20): %.2f\n", ratio);
    std::printf("sample frames played: %llu (%.1f s at 44.1 kHz)\n", frames, static_cast<double>(frames) / 44100);
    std::printf("memory: idle %ld KiB, peak while playing %ld KiB, above idle %.1f MB (goal <= 20 MB)\n", idle, peak,
        static_cast<double>(peak - idle) / 1024);
    std::printf("mpg123 peak resident set: %ld KiB\n", mpgRss);
    return 0;
}
