// Tests of the music player's state machine over a test double of the FSOUND functions:
// which songs open in which order, the 2000 ms gap in frame time, the arrow-key operations,
// the start-up failures, and the log lines a user's log file shows. Most tests open songs
// at once on the test's thread; the slow-source tests use the player's own worker thread.
#include "music/MusicPlayer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "content/Bundle.h"
#include "content/BundleWriter.h"
#include "content/ScratchFolder.h"
#include "diag/Log.h"
#include "core/Playlist.h"

using ::testing::ElementsAre;

namespace {

// Collects what the player logs instead of writing a file.
class CaptureLog : public cLog {
public:
    CaptureLog() : cLog("") {}
    void Write(const std::string& message, uint32_t level) override { lines.push_back({level, message}); }
    void Enter(const std::string& text, uint32_t level) override { lines.push_back({level, text}); }
    void Exit(const std::string& text, uint32_t level) override { lines.push_back({level, text}); }
    void Start() override {}
    void Stop() override {}
    bool Has(uint32_t level, const std::string& text) const {
        return std::find(lines.begin(), lines.end(), std::make_pair(level, text)) != lines.end();
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& l : lines) out.push_back(l.second);
        return out;
    }
    std::vector<std::pair<uint32_t, std::string>> lines;
};

struct FakeStream {
    std::string source;  // the file name, or the bytes of a memory song
    unsigned mode;
    int length;
};

// The FSOUND functions as a user would hear them: which song plays on which channel.
class FakeSound : public SoundApi {
public:
    bool SetBufferSize(int ms) override { return Log("SetBufferSize " + std::to_string(ms)); }
    bool SetDriver(int d) override { return Log("SetDriver " + std::to_string(d)); }
    bool Init(int rate, int channels, unsigned flags) override {
        Log("Init " + std::to_string(rate) + " " + std::to_string(channels) + " " + std::to_string(flags));
        initialised = initOk;
        return initOk;
    }
    int GetError() override { return error; }
    FSOUND_STREAM* StreamOpen(const char* nameOrData, unsigned mode, int offset, int length) override {
        std::string source = (mode & FSOUND_LOADMEMORY) ? std::string(nameOrData, size_t(length)) : nameOrData;
        if (source == slowSource) WaitForRelease();
        std::lock_guard<std::recursive_mutex> lock(mutex);
        ++opens;
        if (throwOnOpen) throw std::runtime_error("decoder blew up");
        EXPECT_TRUE(initialised);
        EXPECT_EQ(offset, 0);
        calls.push_back("Open " + source);
        if (unopenable.count(source)) return nullptr;
        streams.push_back(std::make_unique<FakeStream>(FakeStream{source, mode, length}));
        ++openStreams;
        return reinterpret_cast<FSOUND_STREAM*>(streams.back().get());
    }
    // A source that takes as long as the test wants: its open waits for Release (or a
    // minute, which marks the test failed).
    void Release() {
        std::lock_guard<std::mutex> lock(gateMutex);
        released = true;
        gate.notify_all();
    }
    void WaitForRelease() {
        std::unique_lock<std::mutex> lock(gateMutex);
        if (!gate.wait_for(lock, std::chrono::seconds(60), [this] { return released; })) gateTimedOut = true;
    }
    int StreamPlay(int channel, FSOUND_STREAM* stream) override {
        EXPECT_EQ(channel, FSOUND_FREE);
        EXPECT_NE(stream, nullptr);
        auto s = reinterpret_cast<FakeStream*>(stream);
        current = ++lastChannel;
        playing[current] = true;
        played.push_back(s->source);
        lastMode = s->mode;
        lastLength = s->length;
        Log("Play " + s->source);
        return current;
    }
    bool SetPan(int channel, int pan) override { return Log("Pan " + std::to_string(channel) + " " + std::to_string(pan)); }
    bool SetVolume(int channel, int volume) override {
        return Log("Volume " + std::to_string(channel) + " " + std::to_string(volume));
    }
    bool IsPlaying(int channel) override { return playing[channel]; }
    bool SetPaused(int channel, bool paused) override {
        return Log("Paused " + std::to_string(channel) + (paused ? " on" : " off"));
    }
    bool StreamStop(FSOUND_STREAM* s) override {
        playing[current] = false;
        return Log("Stop " + reinterpret_cast<FakeStream*>(s)->source);
    }
    bool StreamClose(FSOUND_STREAM* s) override {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        --openStreams;
        return Log("CloseStream " + reinterpret_cast<FakeStream*>(s)->source);
    }
    void Close() override {
        initialised = false;
        Log("Close");
    }

    // The song on the current channel plays to its end.
    void EndSong() { playing[current] = false; }
    bool Called(const std::string& call) const { return std::find(calls.begin(), calls.end(), call) != calls.end(); }

    bool initOk = true;
    int error = 0;
    bool throwOnOpen = false;
    bool initialised = false;
    std::set<std::string> unopenable;
    std::vector<std::string> calls;
    std::vector<std::string> played;
    std::map<int, bool> playing;
    std::vector<std::unique_ptr<FakeStream>> streams;
    int current = 0;
    int lastChannel = 100;
    int opens = 0;
    int openStreams = 0;
    unsigned lastMode = 0;
    int lastLength = 0;
    std::string slowSource;
    bool gateTimedOut = false;

private:
    bool Log(const std::string& call) {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        calls.push_back(call);
        return true;
    }
    std::recursive_mutex mutex;
    std::mutex gateMutex;
    std::condition_variable gate;
    bool released = false;
};

// The program around the player: message boxes, the documents folder, the clock.
class FakeHost : public MusicHost {
public:
    void ShowInitError(const std::string& text) override { errorBoxes.push_back(text); }
    void SetCriticalError(int value) override { criticalError = value; }
    std::string DocumentsFolder() override { return documents; }
    std::vector<std::string> ListFiles(const std::string& folder, const char* pattern) override {
        std::string ext = std::string(pattern).substr(1);  // "*.ogg" -> ".ogg"
        std::vector<std::string> out;
        for (const std::string& name : files[folder]) {
            std::string lower = name;
            for (char& c : lower) c = char(tolower(static_cast<unsigned char>(c)));
            if (lower.size() >= ext.size() && lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0)
                out.push_back(name);
        }
        return out;
    }
    std::vector<std::string> ListFolders(const std::string& folder) override {
        ++folderListings;
        return folders[folder];
    }
    uint32_t TimeSeconds() override { return now; }

    std::vector<std::string> errorBoxes;
    int criticalError = 0;
    std::string documents;
    std::map<std::string, std::vector<std::string>> files;
    std::map<std::string, std::vector<std::string>> folders;
    int folderListings = 0;
    uint32_t now = 1234567;
};

class MusicPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        previousLog = gLog;
        gLog = &log;
        settings.shuffleMusic = false;
        settings.defaultMusic = false;
        settings.customMusic = false;
        settings.musicVolume = 200;
        settings.customPlaylist = dir.Path("USER.M3U");
        settings.musicBundle = dir.Path("music.bdl");
    }
    void TearDown() override { gLog = previousLog; }

    // music.bdl with category "music" holding name -> bytes in this order.
    void MakeBundle(const std::vector<std::pair<std::string, std::string>>& songs) {
        BundleWriter w;
        w.BeginCategory("other");
        w.AddEntry("x.ogg", "not music", 9);
        w.BeginCategory("music");
        for (const auto& s : songs) w.AddEntry(s.first, s.second.data(), s.second.size());
        ASSERT_TRUE(WriteWholeFile(settings.musicBundle, w.Finish()));
    }
    void WritePlaylist(const std::string& text) { dir.WriteText("USER.M3U", text); }
    // Runs frames of the given length until a new song starts; the number of passes.
    int PassesUntilNextSong(double frameMs, int limit = 100000) {
        size_t before = sound.played.size();
        for (int pass = 1; pass <= limit; ++pass) {
            player.Update(frameMs);
            if (sound.played.size() != before) return pass;
        }
        return -1;
    }
    // The current song ends and the frames run until the next one starts.
    std::string NextNaturally() {
        sound.EndSong();
        player.Update(16.7);  // sees the end
        if (PassesUntilNextSong(16.7) < 0) return "<nothing>";
        return sound.played.back();
    }
    std::string F(const std::string& name) const { return dir.Folder() + name; }

    ScratchFolder dir;
    CaptureLog log;
    cLog* previousLog = nullptr;
    FakeSound sound;
    FakeHost host;
    Playlist list;
    Bundle bundle;
    int32_t playMusic = 1;
    MusicSettings settings;
    InlineSongOpenWorker inlineWorker;
    MusicPlayer player{sound, host, list, bundle, playMusic, &inlineWorker};
};

TEST_F(MusicPlayerTest, BundleSongsPlayFromMemory) {
    MakeBundle({{"anthem.ogg", "ANTHEM-BYTES"}, {"calm.wav", "CALM"}});
    settings.defaultMusic = true;
    ASSERT_TRUE(player.Init(settings));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Entry(0), "?anthem.ogg");
    EXPECT_EQ(list.Entry(1), "?calm.wav");
    EXPECT_THAT(sound.played, ElementsAre("ANTHEM-BYTES"));
    EXPECT_EQ(sound.lastMode, 0xA130u);
    EXPECT_EQ(sound.lastLength, 12);
    int ch = sound.current;
    EXPECT_THAT(sound.calls, ElementsAre("SetBufferSize 250", "SetDriver 0", "Init 44100 1 0", "Volume -3 200",
                                         "Open ANTHEM-BYTES", "Play ANTHEM-BYTES",
                                         "Pan " + std::to_string(ch) + " -1", "Volume -3 200"));
    EXPECT_EQ(playMusic, 1);
    EXPECT_TRUE(host.errorBoxes.empty());
    EXPECT_THAT(log.Texts(), ElementsAre("Enter function: initSound()", "Setting sound output settings",
                                         "Initializing with FSUOND_Init(44100,1,0)",
                                         "Attempting to open file \"?anthem.ogg\"",
                                         "Successfully exiting initSound()", "Exit function: initSound()"));
    EXPECT_EQ(log.lines[0].first, uint32_t(LogFunction));
    EXPECT_EQ(log.lines[1].first, uint32_t(LogInfo));
}

TEST_F(MusicPlayerTest, FileSongsOpenByName) {
    WritePlaylist("a.ogg\nb.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    EXPECT_THAT(sound.played, ElementsAre(F("a.ogg")));
    EXPECT_EQ(sound.lastMode, 0x2130u);
    EXPECT_TRUE(log.Has(LogInfo, "Reading playlist"));
}

TEST_F(MusicPlayerTest, NextSongOpensOnThe126thPassAt16_7Ms) {
    WritePlaylist("a.ogg\nb.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    sound.EndSong();
    player.Update(16.7);  // this pass sees the song end
    EXPECT_TRUE(player.InGap());
    EXPECT_FALSE(player.HasStream());
    EXPECT_TRUE(sound.Called("Stop " + F("a.ogg")));
    EXPECT_TRUE(sound.Called("CloseStream " + F("a.ogg")));
    for (int pass = 1; pass <= 125; ++pass) {
        player.Update(16.7);
        ASSERT_EQ(player.GapTimer(), 16 * pass) << pass;  // 16 ms credited per pass
        ASSERT_EQ(sound.played.size(), 1u) << pass;
    }
    EXPECT_EQ(player.GapTimer(), 2000);
    player.Update(16.7);  // pass 126
    EXPECT_THAT(sound.played, ElementsAre(F("a.ogg"), F("b.ogg")));
    EXPECT_FALSE(player.InGap());
    EXPECT_EQ(player.GapTimer(), 0);
}

TEST_F(MusicPlayerTest, FramesBelowOneMillisecondCreditNothing) {
    WritePlaylist("a.ogg\nb.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    sound.EndSong();
    player.Update(0.9);
    for (int i = 0; i < 5000; ++i) player.Update(0.9);
    EXPECT_EQ(player.GapTimer(), 0);
    EXPECT_EQ(sound.played.size(), 1u);
    player.Update(-5.0);  // a clock going backwards credits nothing either
    EXPECT_EQ(player.GapTimer(), 0);
    EXPECT_EQ(PassesUntilNextSong(1000.0), 3);  // 1000, 2000, then the song opens
}

TEST_F(MusicPlayerTest, MissingMiddleSongIsSkipped) {
    WritePlaylist("one.ogg\ntwo.ogg\nthree.ogg\n");
    sound.unopenable.insert(F("two.ogg"));
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    EXPECT_EQ(NextNaturally(), F("three.ogg"));
    EXPECT_EQ(NextNaturally(), F("one.ogg"));
    EXPECT_EQ(NextNaturally(), F("three.ogg"));
    EXPECT_EQ(playMusic, 1);
}

TEST_F(MusicPlayerTest, PreviousSongOnFirstEntryOpensTheLastAtOnce) {
    WritePlaylist("one.ogg\ntwo.ogg\nthree.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    player.PreviousSong();
    EXPECT_TRUE(sound.Called("Stop " + F("one.ogg")));
    EXPECT_TRUE(sound.Called("CloseStream " + F("one.ogg")));
    player.Update(0.0);  // no waiting after a skip
    EXPECT_EQ(sound.played.back(), F("three.ogg"));
    EXPECT_EQ(player.CurrentIndex(), 2);
}

TEST_F(MusicPlayerTest, PreviousThenNaturalAdvanceGoesForwardAgain) {
    WritePlaylist("one.ogg\ntwo.ogg\nthree.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    player.NextSong();
    player.Update(16.7);
    player.NextSong();
    player.Update(16.7);
    EXPECT_EQ(sound.played.back(), F("three.ogg"));
    player.PreviousSong();
    player.Update(16.7);
    EXPECT_EQ(sound.played.back(), F("two.ogg"));
    EXPECT_EQ(NextNaturally(), F("three.ogg"));
    EXPECT_EQ(NextNaturally(), F("one.ogg"));
}

TEST_F(MusicPlayerTest, NextSongWrapsAndSkipsUnacceptedTypes) {
    WritePlaylist("one.ogg\nskip.mp3\ntwo.WMA\nnotes.txt\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    player.NextSong();
    player.Update(16.7);
    EXPECT_EQ(sound.played.back(), F("two.WMA"));
    player.NextSong();
    player.Update(16.7);
    EXPECT_EQ(sound.played.back(), F("one.ogg"));
    EXPECT_FALSE(sound.Called("Open " + F("skip.mp3")));
    EXPECT_FALSE(sound.Called("Open " + F("notes.txt")));
}

TEST_F(MusicPlayerTest, DownArrowTwicePausesAndResumesUpOnlyResumes) {
    WritePlaylist("one.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    std::string ch = std::to_string(sound.current);
    size_t before = sound.calls.size();
    player.ResumeMusic();  // not paused: nothing
    EXPECT_EQ(sound.calls.size(), before);
    player.TogglePause();
    EXPECT_TRUE(player.Paused());
    EXPECT_EQ(sound.calls.back(), "Paused " + ch + " on");
    player.TogglePause();
    EXPECT_FALSE(player.Paused());
    EXPECT_EQ(sound.calls.back(), "Paused " + ch + " off");
    player.TogglePause();
    player.ResumeMusic();
    EXPECT_FALSE(player.Paused());
    EXPECT_EQ(sound.calls.back(), "Paused " + ch + " off");
}

TEST_F(MusicPlayerTest, PausedSongHoldsTheAdvance) {
    WritePlaylist("one.ogg\ntwo.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    player.TogglePause();
    sound.EndSong();  // a paused channel does not report playing
    for (int i = 0; i < 500; ++i) player.Update(16.7);
    EXPECT_FALSE(player.InGap());
    EXPECT_EQ(sound.played.size(), 1u);
}

TEST_F(MusicPlayerTest, SkipWhilePausedPlaysButStaysPaused) {
    WritePlaylist("one.ogg\ntwo.ogg\nthree.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    player.TogglePause();
    size_t pauseCalls = std::count_if(sound.calls.begin(), sound.calls.end(),
                                      [](const std::string& c) { return c.rfind("Paused", 0) == 0; });
    player.NextSong();
    player.Update(16.7);
    EXPECT_EQ(sound.played.back(), F("two.ogg"));  // starts audibly
    EXPECT_TRUE(player.Paused());
    EXPECT_EQ(size_t(std::count_if(sound.calls.begin(), sound.calls.end(),
                                   [](const std::string& c) { return c.rfind("Paused", 0) == 0; })),
              pauseCalls);
    // When it ends, nothing further starts until up or down is pressed.
    sound.EndSong();
    for (int i = 0; i < 500; ++i) player.Update(16.7);
    EXPECT_EQ(sound.played.size(), 2u);
    player.ResumeMusic();
    EXPECT_EQ(PassesUntilNextSong(16.7), 127);  // the pass that sees the end, 125 of gap, then open
    EXPECT_EQ(sound.played.back(), F("three.ogg"));
}

TEST_F(MusicPlayerTest, CustomSongsComeBeforeBundleSongs) {
    MakeBundle({{"anthem.ogg", "ANTHEM"}, {"calm.ogg", "CALM"}});
    WritePlaylist("#EXTM3U\nmine.ogg\nC:\\other\\yours.wav\n");
    settings.customMusic = true;
    settings.defaultMusic = true;
    ASSERT_TRUE(player.Init(settings));
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Entry(0), F("mine.ogg"));
    EXPECT_EQ(list.Entry(1), "C:\\other\\yours.wav");
    EXPECT_EQ(list.Entry(2), "?anthem.ogg");
    EXPECT_EQ(list.Entry(3), "?calm.ogg");
    EXPECT_EQ(sound.played.back(), F("mine.ogg"));
}

TEST_F(MusicPlayerTest, BothSourcesOffPlaysNothingAndSaysNothing) {
    MakeBundle({{"anthem.ogg", "ANTHEM"}});
    ASSERT_TRUE(player.Init(settings));
    EXPECT_EQ(sound.opens, 0);
    EXPECT_TRUE(sound.played.empty());
    EXPECT_TRUE(host.errorBoxes.empty());
    EXPECT_EQ(playMusic, 1);
    EXPECT_TRUE(log.Has(LogInfo, "Successfully exiting initSound()"));
    EXPECT_FALSE(log.Has(LogError, "Unable to open any valid songs!"));
    size_t calls = sound.calls.size();
    for (int i = 0; i < 300; ++i) player.Update(16.7);
    player.NextSong();
    player.Update(16.7);
    EXPECT_EQ(sound.calls.size(), calls);
}

TEST_F(MusicPlayerTest, OnlyMp3FilesMeansNoValidSongs) {
    WritePlaylist("a.mp3\nB.MP3\n");
    settings.customMusic = true;
    EXPECT_FALSE(player.Init(settings));
    EXPECT_EQ(sound.opens, 0);
    EXPECT_EQ(playMusic, 0);
    EXPECT_TRUE(log.Has(LogError, "Unable to open any valid songs!"));
    EXPECT_TRUE(sound.Called("Close"));
    EXPECT_TRUE(log.Has(LogInfo, "Closing FMOD (FSOUND_Close())"));
    EXPECT_TRUE(host.errorBoxes.empty());  // the saver run shows its own box for a false result
}

TEST_F(MusicPlayerTest, UpperCaseExtensionsAreAccepted) {
    WritePlaylist("SONG.OGG\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    EXPECT_THAT(sound.played, ElementsAre(F("SONG.OGG")));
}

TEST_F(MusicPlayerTest, EmptyCustomListWithoutDocumentsFails) {
    settings.customMusic = true;
    host.documents = "C:\\Docs";
    EXPECT_FALSE(player.Init(settings));
    EXPECT_TRUE(log.Has(LogError, "Unable to open any valid songs!"));
    EXPECT_EQ(playMusic, 0);
    EXPECT_FALSE(ScratchFolder::Exists(settings.customPlaylist));
    host.documents.clear();  // no documents folder at all
    playMusic = 1;
    EXPECT_FALSE(player.Init(settings));
}

TEST_F(MusicPlayerTest, EmptyCustomListFilledFromDocuments) {
    settings.customMusic = true;
    host.documents = "C:\\Docs";
    host.folders["C:\\Docs"] = {"Music"};
    host.folders["C:\\Docs\\Music"] = {"Deep"};
    host.files["C:\\Docs\\Music\\Deep"] = {"found.ogg", "cover.jpg"};
    ASSERT_TRUE(player.Init(settings));
    EXPECT_THAT(sound.played, ElementsAre("C:\\Docs\\Music\\Deep\\found.ogg"));
    EXPECT_EQ(ScratchFolder::ReadText(settings.customPlaylist),
              "#EXTM3U\r\n#EXTINF:-1,found\r\nC:\\Docs\\Music\\Deep\\found.ogg\r\n");
}

TEST_F(MusicPlayerTest, MissingBundleContributesNothing) {
    settings.defaultMusic = true;  // no music.bdl written
    EXPECT_FALSE(player.Init(settings));
    EXPECT_TRUE(log.Has(LogError, "Unable to open any valid songs!"));
    MakeBundle({});
    playMusic = 1;
    EXPECT_FALSE(player.Init(settings));  // a bundle without songs
}

TEST_F(MusicPlayerTest, BundleSongInCustomListOpensTheBundle) {
    MakeBundle({{"anthem.ogg", "ANTHEM"}});
    WritePlaylist("?missing.ogg\n?ANTHEM.OGG\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    EXPECT_THAT(sound.played, ElementsAre("ANTHEM"));
}

TEST_F(MusicPlayerTest, ShuffleUsesTheClockAndFiftyPasses) {
    std::string text;
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) {
        names.push_back(F("s" + std::to_string(i) + ".ogg"));
        text += "s" + std::to_string(i) + ".ogg\n";
    }
    WritePlaylist(text);
    settings.customMusic = true;
    settings.shuffleMusic = true;
    host.now = 987654;
    ASSERT_TRUE(player.Init(settings));
    Playlist expected;
    expected.AddEntries(names);
    expected.Shuffle(987654, 50);
    ASSERT_EQ(list.Count(), 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(list.Entry(i), expected.Entry(i)) << i;
    EXPECT_EQ(sound.played.front(), expected.Entry(0));
    EXPECT_TRUE(log.Has(LogInfo, "Shuffling music list."));
}

TEST_F(MusicPlayerTest, InitFailureShowsTheFmodError) {
    WritePlaylist("a.ogg\n");
    settings.customMusic = true;
    sound.initOk = false;
    sound.error = 3;
    EXPECT_FALSE(player.Init(settings));
    EXPECT_THAT(host.errorBoxes, ElementsAre("Error initializing output device."));
    EXPECT_EQ(playMusic, 0);
    EXPECT_TRUE(log.Has(LogError, "FSOUND_Init() returned an error!"));
    EXPECT_FALSE(sound.Called("Close"));
    EXPECT_EQ(sound.opens, 0);
}

TEST_F(MusicPlayerTest, ExceptionDuringInitIsCaught) {
    WritePlaylist("a.ogg\n");
    settings.customMusic = true;
    sound.throwOnOpen = true;
    EXPECT_TRUE(player.Init(settings));
    EXPECT_EQ(playMusic, 0);
    EXPECT_EQ(host.criticalError, 1);
    EXPECT_TRUE(log.Has(LogCritical, "Exception caught in initSound()!"));
    EXPECT_EQ(log.Texts().back(), "Exit function: initSound()");
    EXPECT_TRUE(log.Has(LogInfo, "Successfully exiting initSound()"));
}

TEST_F(MusicPlayerTest, ExceptionDuringUpdateKeepsTheState) {
    WritePlaylist("a.ogg\nb.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    sound.throwOnOpen = true;
    player.NextSong();  // the skip starts opening the next song; the frame takes the result
    player.Update(16.7);
    EXPECT_TRUE(log.Has(LogError, "Exception caught in UpdateSound!"));
    EXPECT_EQ(playMusic, 1);
    EXPECT_TRUE(player.InGap());
    sound.throwOnOpen = false;
    player.Update(16.7);
    EXPECT_EQ(sound.played.back(), F("b.ogg"));
}

TEST_F(MusicPlayerTest, EverySongFailingStopsTheMusic) {
    WritePlaylist("a.ogg\nb.ogg\nc.mp3\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    sound.unopenable = {F("a.ogg"), F("b.ogg")};
    int opensBefore = sound.opens;
    EXPECT_EQ(NextNaturally(), "<nothing>");
    EXPECT_EQ(sound.opens - opensBefore, 2);  // each accepted entry tried once
    EXPECT_EQ(playMusic, 0);
    EXPECT_TRUE(sound.Called("Close"));
    EXPECT_TRUE(log.Has(LogInfo, "Successfully exiting ShutdownSound()"));
    size_t calls = sound.calls.size();
    player.NextSong();
    player.TogglePause();
    player.ResumeMusic();
    player.Update(16.7);
    EXPECT_EQ(sound.calls.size(), calls);  // music is off for the rest of the run
}

TEST_F(MusicPlayerTest, ShutdownClosesStreamAndFmod) {
    WritePlaylist("a.ogg\n");
    settings.customMusic = true;
    ASSERT_TRUE(player.Init(settings));
    log.lines.clear();
    player.Shutdown();
    EXPECT_EQ(playMusic, 0);
    EXPECT_EQ(sound.openStreams, 0);
    EXPECT_THAT(log.Texts(), ElementsAre("Enter function: ShutdownSound()", "Closing stream",
                                         "Closing FMOD (FSOUND_Close())", "Successfully exiting ShutdownSound()",
                                         "Exit function: ShutdownSound()"));
    player.Shutdown();  // harmless again: no stream left to close
    std::vector<std::string> texts = log.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string("Closing stream")), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string("Closing FMOD (FSOUND_Close())")), 2);
}

// The player with its own worker thread over a source that takes as long as the test wants.
class SlowSourceTest : public MusicPlayerTest {
protected:
    // Frames of 16.7 ms until `n` songs have been started (a real wait: the worker opens
    // them); false after 30 s.
    bool FramesUntilPlayed(size_t n) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (sound.played.size() < n) {
            if (std::chrono::steady_clock::now() > end) return false;
            threaded.Update(16.7);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    MusicPlayer threaded{sound, host, list, bundle, playMusic};
};

// The next song opens on the worker: while its source takes its time, every frame's
// Update returns at once and the gap runs on; the song starts on the first frame after it
// is ready, and the order of the list stays.
TEST_F(SlowSourceTest, FramesGoOnWhileTheNextSongOpens) {
    WritePlaylist("one.ogg\ntwo.ogg\nthree.ogg\n");
    settings.customMusic = true;
    sound.slowSource = F("two.ogg");
    ASSERT_TRUE(threaded.Init(settings));
    sound.EndSong();
    for (int pass = 0; pass < 400; ++pass) threaded.Update(16.7);  // well past the gap
    EXPECT_THAT(sound.played, ElementsAre(F("one.ogg")));
    EXPECT_TRUE(threaded.Opening());
    EXPECT_TRUE(threaded.InGap());
    sound.Release();
    ASSERT_TRUE(FramesUntilPlayed(2));
    EXPECT_FALSE(sound.gateTimedOut) << "an Update waited for the slow source";
    EXPECT_FALSE(threaded.InGap());
    sound.EndSong();
    ASSERT_TRUE(FramesUntilPlayed(3));
    sound.EndSong();
    ASSERT_TRUE(FramesUntilPlayed(4));
    EXPECT_THAT(sound.played, ElementsAre(F("one.ogg"), F("two.ogg"), F("three.ogg"), F("one.ogg")));
    threaded.Shutdown();
    EXPECT_EQ(sound.openStreams, 0);
}

// Arrow keys while a song is still opening: a skip after its start was due skips it, as it
// would a song that had started; a skip back during the gap replaces the song prepared.
TEST_F(SlowSourceTest, SkipsWhileTheNextSongOpensKeepTheOrder) {
    const struct {
        const char* name;
        bool skipWhenDue;
        std::vector<std::string> played;
    } cases[] = {{"next twice", true, {"one.ogg", "three.ogg"}}, {"back in the gap", false, {"one.ogg", "four.ogg"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSound fresh;
        MusicPlayer player(fresh, host, list, bundle, playMusic);
        WritePlaylist("one.ogg\ntwo.ogg\nthree.ogg\nfour.ogg\n");
        settings.customMusic = true;
        fresh.slowSource = F("two.ogg");
        playMusic = 1;
        ASSERT_TRUE(player.Init(settings));
        if (c.skipWhenDue) {
            player.NextSong();
            for (int pass = 0; pass < 5; ++pass) player.Update(16.7);  // two.ogg due, still opening
            player.NextSong();
        } else {
            fresh.EndSong();
            player.Update(16.7);  // the gap begins, two.ogg opening
            player.PreviousSong();
        }
        fresh.Release();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (fresh.played.size() < 2 && std::chrono::steady_clock::now() < end) {
            player.Update(16.7);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::vector<std::string> expected;
        for (const std::string& name : c.played) expected.push_back(F(name));
        EXPECT_EQ(fresh.played, expected);
        player.Shutdown();
        EXPECT_EQ(fresh.openStreams, 0) << "the skipped song's stream is closed";
        EXPECT_FALSE(fresh.gateTimedOut);
    }
}

TEST(FmodErrorText, TableAndUnknownCodes) {
    EXPECT_STREQ(FmodErrorText(0), "No errors");
    EXPECT_STREQ(FmodErrorText(1), "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
    EXPECT_STREQ(FmodErrorText(9), "File not found");
    EXPECT_STREQ(FmodErrorText(12), "Not enough memory ");
    EXPECT_STREQ(FmodErrorText(18), "Required Mediaplayer codec is not installed");
    EXPECT_STREQ(FmodErrorText(19), "Unknown error");
    EXPECT_STREQ(FmodErrorText(-1), "Unknown error");
}

TEST(SongTypes, ExtensionOfTheFileNamePart) {
    EXPECT_TRUE(IsAcceptedSong("C:\\m\\a.wav"));
    EXPECT_TRUE(IsAcceptedSong("?anthem.OGG"));
    EXPECT_TRUE(IsAcceptedSong("x.Wma"));
    EXPECT_TRUE(IsAcceptedSong("http://h/x.asf"));
    EXPECT_FALSE(IsAcceptedSong("a.mp3"));
    EXPECT_FALSE(IsAcceptedSong("C:\\dir.ogg\\song"));
    EXPECT_FALSE(IsAcceptedSong("song"));
    EXPECT_FALSE(IsAcceptedSong("a.ogg.bak"));
    EXPECT_FALSE(IsAcceptedSong(""));
}

TEST(SongSearch, SubfoldersFirstPatternsInOrderHiddenSkipped) {
    FakeHost host;
    host.files["D"] = {"a.ogg", "b.wav", "c.WMA", "d.asf", "e.mp3"};
    host.folders["D"] = {"sub", ".hidden", "empty"};
    host.files["D\\sub"] = {"x.ogg"};
    host.files["D\\.hidden"] = {"y.ogg"};
    Playlist list;
    ASSERT_TRUE(SearchSongs(host, "D", list));
    std::vector<std::string> got;
    for (int i = 0; i < list.Count(); ++i) got.push_back(list.Entry(i));
    EXPECT_THAT(got, ElementsAre("D\\sub\\x.ogg", "D\\b.wav", "D\\a.ogg", "D\\c.WMA", "D\\d.asf"));
}

TEST(SongSearch, NothingFoundAndFolderCycles) {
    FakeHost host;
    host.folders["D"] = {"loop"};
    // Every folder seems to hold another one (a link back to itself).
    for (std::string f = "D"; f.size() < 2000; f += "\\loop") host.folders[f] = {"loop"};
    Playlist list;
    EXPECT_FALSE(SearchSongs(host, "D", list));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_LE(host.folderListings, 40);
    EXPECT_FALSE(SearchSongs(host, "", list));
}

// Every folder holds two links back up the tree and one song: the search must stop after a
// bounded number of folders instead of visiting 2^32 of them.
TEST(SongSearch, TwoLinksPerFolderStayBounded) {
    struct LinkedHost : FakeHost {
        std::vector<std::string> ListFiles(const std::string&, const char* pattern) override {
            return std::string(pattern) == "*.ogg" ? std::vector<std::string>{"song.ogg"}
                                                   : std::vector<std::string>{};
        }
        std::vector<std::string> ListFolders(const std::string&) override {
            if (++folderListings > 200000) throw std::runtime_error("the search does not end");
            return {"up", "back"};
        }
    } host;
    Playlist list;
    EXPECT_TRUE(SearchSongs(host, "D", list));
    EXPECT_LE(host.folderListings, 20000);
    EXPECT_GE(list.Count(), 1000);
    EXPECT_LE(list.Count(), 20000);
    // The songs of the folders searched first come first: the deepest chain of "up" links.
    EXPECT_EQ(list.Entry(0).rfind("D\\up\\up", 0), 0u);
}

}  // namespace
