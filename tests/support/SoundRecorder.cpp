// The parec recorder of the null sink's monitor.
#include "support/SoundRecorder.h"

#include "support/WineTest.h"

namespace wt {

namespace {

const char* const kMonitor = "zsink.monitor";
const size_t kWavHeader = 44;
const int kLongestSeconds = 300;

DWORD FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a) ? a.nFileSizeLow : 0;
}

}  // namespace

SoundRecorder::~SoundRecorder() { Kill(); }

bool SoundRecorder::Start(const std::string& folder) {
    Kill();
    m_wav = folder + "recording.wav";
    m_pid = folder + "recording.pid";
    DeleteFileA(m_wav.c_str());
    DeleteFileA(m_pid.c_str());
    std::string wav = UnixPath(m_wav), pid = UnixPath(m_pid);
    if (wav.empty() || pid.empty()) return false;
    // parec is bounded in time, so a test that dies before stopping it leaves nothing
    // recording for long (timeout passes the stop signal on to it).
    std::string script = "echo $$ > '" + pid + "'; exec timeout " + std::to_string(kLongestSeconds) +
                         " parec -d " + kMonitor +
                         " --file-format=wav --format=s16le --rate=44100 --channels=2 --latency-msec=20 '" + wav +
                         "' </dev/null >/dev/null 2>&1";
    HANDLE process = nullptr;
    if (!RunUnix(script, &process)) return false;
    // Under Wine a Unix program has no process handle worth keeping (it may be null).
    if (process) CloseHandle(process);
    m_running = true;
    // Recording has begun once samples follow the header.
    for (int i = 0; i < 200; ++i) {
        Sleep(25);
        if (FileSize(m_wav) > kWavHeader) return true;
    }
    return false;
}

bool SoundRecorder::Stop(Recording& out) {
    if (!m_running) return false;
    Kill();
    // Wine cannot wait for a Unix process: the recording is complete once it stops growing.
    DWORD last = MAXDWORD;
    for (int i = 0; i < 50; ++i) {
        Sleep(100);
        DWORD size = FileSize(m_wav);
        if (size == last) break;
        last = size;
    }
    return ParseWav(ReadFile(m_wav), out) && !out.samples.empty();
}

void SoundRecorder::Kill() {
    if (!m_running) return;
    m_running = false;
    std::string pid = UnixPath(m_pid);
    if (!pid.empty()) RunUnix("kill $(cat '" + pid + "')");
}

}  // namespace wt
